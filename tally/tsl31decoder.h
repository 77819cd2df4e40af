#ifndef TSL31DECODER_H
#define TSL31DECODER_H

#include <QByteArray>
#include <QList>
#include <QString>

// TSL UMD 3.1: a datagram of back-to-back 18-byte packets. Each packet
// stands alone, so a bad one is skipped and the others still count.
class Tsl31Decoder
{
public:
    static constexpr int PacketSize = 18;
    static constexpr int TextSize = 16;
    static constexpr int MaxAddress = 126;

    struct Packet
    {
        quint8 address = 0;   // 0..126
        quint8 tallies = 0;   // bits 0-3: tally 1 to 4
        quint8 brightness = 0; // 0..3
        QString text;         // 16 Latin-1 characters, padding included

        bool tally1() const { return tallies & 0x1; }
        bool tally2() const { return tallies & 0x2; }
        bool operator==(const Packet &o) const
        {
            return address == o.address && tallies == o.tallies
                && brightness == o.brightness && text == o.text;
        }
    };

    struct Result
    {
        QList<Packet> packets; // the good ones, in datagram order
        int skipped = 0;       // whole packets with a bad address or control byte
        int malformed = 0;     // 1 when a remainder too short for a packet trailed
    };

    static Result decode(const QByteArray &datagram);
};

#endif // TSL31DECODER_H
