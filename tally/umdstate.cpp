#include "tally/umdstate.h"

#include <QList>

namespace {

bool isBlank(char32_t c)
{
    return c == 0 || QChar::isSpace(c);
}

} // namespace

UmdState UmdState::fromTsl5(quint16 control, const QString &text)
{
    quint8 tally = 0;
    for (int shift = 0; shift <= 4; shift += 2) {
        const int colour = (control >> shift) & 0x3;
        if (colour & 0x1) // red or amber
            tally |= Red;
        if (colour & 0x2) // green or amber
            tally |= Green;
    }
    return UmdState(umdText(text), tally);
}

UmdState UmdState::fromTsl31(quint8 tallies, const QString &text)
{
    return UmdState(umdText(text), tallies & (Red | Green));
}

QByteArray UmdState::umdText(const QString &text)
{
    // Whole code points, so that a character outside the basic plane
    // counts once and becomes a single '?'; a broken surrogate reads as
    // the replacement character, which is not Latin-1 either.
    const QList<uint> points = text.toUcs4();
    qsizetype first = 0;
    qsizetype end = points.size();
    while (first < end && isBlank(points.at(first)))
        ++first;
    while (end > first && isBlank(points.at(end - 1)))
        --end;
    end = qMin(end, first + MaxText);
    // Blanks the cut brought to the end show as the padding does, and
    // would only make equal displays compare unequal.
    while (end > first && isBlank(points.at(end - 1)))
        --end;
    QByteArray out;
    out.reserve(end - first);
    for (qsizetype i = first; i < end; ++i) {
        const uint c = points.at(i);
        out.append(c <= 0xFF ? char(c) : '?');
    }
    return out;
}
