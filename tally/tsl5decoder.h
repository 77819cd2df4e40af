#ifndef TSL5DECODER_H
#define TSL5DECODER_H

#include <QByteArray>
#include <QList>
#include <QString>

// One TSL UMD 5.0 packet: a UDP datagram, or one packet the TCP framer
// collected. A packet is applied whole or not at all, so any fault in it
// rejects it with a reason and no messages.
class Tsl5Decoder
{
public:
    static constexpr int HeaderSize = 6;        // PBC, VER, FLAGS, SCREEN
    static constexpr int MessageHeaderSize = 6; // INDEX, CONTROL, LENGTH
    static constexpr quint16 Broadcast = 0xFFFF; // as SCREEN or INDEX: all of them

    static constexpr quint8 FlagUtf16 = 0x01;
    static constexpr quint8 FlagScreenControl = 0x02;
    static constexpr quint16 ControlData = 0x8000;

    // Lamp colours in each two-bit tally field of CONTROL.
    enum Colour : quint8 { Off = 0, Red = 1, Green = 2, Amber = 3 };

    struct Message
    {
        quint16 index = 0;
        quint16 control = 0;
        QString text;

        Colour rightTally() const { return Colour(control & 0x3); }
        Colour textTally() const { return Colour((control >> 2) & 0x3); }
        Colour leftTally() const { return Colour((control >> 4) & 0x3); }
        int brightness() const { return (control >> 6) & 0x3; }
        bool operator==(const Message &o) const
        {
            return index == o.index && control == o.control && text == o.text;
        }
    };

    struct Result
    {
        bool ok = false;
        QString error;   // why the packet was rejected; empty when ok
        quint16 screen = 0;
        bool screenControl = false; // carried screen control data, no messages
        QList<Message> messages;    // display messages only, in packet order
    };

    static Result decode(const QByteArray &packet);
};

#endif // TSL5DECODER_H
