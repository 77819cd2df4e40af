#ifndef UMDSTATE_H
#define UMDSTATE_H

#include <QByteArray>
#include <QString>

// What one monitor's UMD should show: up to eight Latin-1 characters and
// its two lamps, as the bus's UMD frame carries them.
class UmdState
{
public:
    static constexpr int MaxText = 8;
    static constexpr quint8 Red = 0x01;
    static constexpr quint8 Green = 0x02;

    UmdState() = default;
    UmdState(const QByteArray &text, quint8 tally) : text(text), tally(tally) {}

    // Red when any of the three tallies in CONTROL is red or amber, green
    // when any is green or amber: amber lights both lamps.
    static UmdState fromTsl5(quint16 control, const QString &text);
    // Tally 1 is the red lamp, tally 2 the green one; tallies 3 and 4 have
    // no lamp on the monitor.
    static UmdState fromTsl31(quint8 tallies, const QString &text);

    // Blanks (whitespace and NUL padding) trimmed from both ends, cut to
    // eight characters (and blanks the cut left at the end trimmed too),
    // each character outside Latin-1 shown as '?'.
    static QByteArray umdText(const QString &text);

    bool operator==(const UmdState &o) const { return text == o.text && tally == o.tally; }
    bool operator!=(const UmdState &o) const { return !(*this == o); }

    QByteArray text;
    quint8 tally = 0;
};

#endif // UMDSTATE_H
