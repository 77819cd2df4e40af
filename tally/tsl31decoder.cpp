#include "tally/tsl31decoder.h"

Tsl31Decoder::Result Tsl31Decoder::decode(const QByteArray &datagram)
{
    Result r;
    qsizetype at = 0;
    for (; datagram.size() - at >= PacketSize; at += PacketSize) {
        const quint8 header = quint8(datagram.at(at));
        const quint8 control = quint8(datagram.at(at + 1));
        // 0xFF would be address 127, beyond the range a sender may use.
        if (header < 0x80 || header - 0x80 > MaxAddress || (control & 0x80)) {
            ++r.skipped;
            continue;
        }
        Packet p;
        p.address = quint8(header - 0x80);
        p.tallies = control & 0x0F;
        p.brightness = (control >> 4) & 0x03;
        p.text = QString::fromLatin1(datagram.constData() + at + 2, TextSize);
        r.packets.append(p);
    }
    if (at < datagram.size())
        r.malformed = 1;
    return r;
}
