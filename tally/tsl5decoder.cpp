#include "tally/tsl5decoder.h"

namespace {

quint16 u16At(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes.at(at)) | (quint8(bytes.at(at + 1)) << 8));
}

Tsl5Decoder::Result rejected(const QString &why)
{
    Tsl5Decoder::Result r;
    r.error = why;
    return r;
}

QString textOf(const char *data, qsizetype length, bool utf16)
{
    if (!utf16)
        return QString::fromLatin1(data, length);
    // A character is two bytes; a lone trailing byte cannot be one.
    const qsizetype units = length / 2;
    QString text(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i)
        text[i] = QChar(ushort(quint8(data[2 * i]) | (quint8(data[2 * i + 1]) << 8)));
    return text;
}

} // namespace

Tsl5Decoder::Result Tsl5Decoder::decode(const QByteArray &packet)
{
    const qsizetype size = packet.size();
    if (size < HeaderSize)
        return rejected(QStringLiteral("packet of %1 bytes is shorter than its header").arg(size));
    const quint16 pbc = u16At(packet, 0);
    if (qsizetype(pbc) + 2 != size)
        return rejected(QStringLiteral("byte count %1 does not match the %2 bytes received")
                            .arg(pbc).arg(size - 2));
    const quint8 version = quint8(packet.at(2));
    if (version != 0)
        return rejected(QStringLiteral("unknown version %1").arg(version));
    const quint8 flags = quint8(packet.at(3));

    Result r;
    r.screen = u16At(packet, 4);
    if (flags & FlagScreenControl) {
        // Screen-wide control data has no bearing on a monitor's UMD.
        r.ok = true;
        r.screenControl = true;
        return r;
    }
    const bool utf16 = flags & FlagUtf16;
    qsizetype at = HeaderSize;
    int seen = 0;
    while (at < size) {
        if (size - at < MessageHeaderSize)
            return rejected(QStringLiteral("message %1 header cut short").arg(seen + 1));
        Message m;
        m.index = u16At(packet, at);
        m.control = u16At(packet, at + 2);
        const quint16 length = u16At(packet, at + 4);
        at += MessageHeaderSize;
        if (size - at < length)
            return rejected(QStringLiteral("message %1 text of %2 bytes runs past the packet")
                                .arg(seen + 1).arg(length));
        ++seen;
        if (!(m.control & ControlData)) {
            m.text = textOf(packet.constData() + at, length, utf16);
            r.messages.append(m);
        }
        at += length;
    }
    if (seen == 0)
        return rejected(QStringLiteral("packet holds no message"));
    r.ok = true;
    return r;
}
