#include "tests/support/umdframes.h"

#include "tools/sim/simbus.h"

QStringList umdFrames(const SimBus &bus, quint8 address)
{
    constexpr int UmdFrameSize = 18;
    QStringList frames;
    for (const SimTraceEntry &entry : bus.trace()) {
        if (entry.kind != SimTraceEntry::Request || entry.bytes.size() != UmdFrameSize)
            continue;
        if (address && entry.address != address)
            continue;
        const QByteArray text = entry.bytes.mid(2, 8);
        QString frame = QStringLiteral("%1 %2").arg(quint8(entry.bytes.at(1)) & 3).arg(QString::fromLatin1(text));
        if (entry.bytes.mid(10, 8) != text)
            frame += QStringLiteral(" (copies differ)");
        if (!address)
            frame.prepend(QStringLiteral("%1:").arg(entry.address));
        frames << frame;
    }
    return frames;
}
