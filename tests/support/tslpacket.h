#ifndef TSLPACKET_H
#define TSLPACKET_H

#include <QByteArray>
#include <QList>
#include <QString>

// TSL UMD packets as a tally system sends them, for tests and benchmarks.
// Written from the wire format independently of the decoders, so that the
// tests check one against the other; key cases are also checked against
// hand-written bytes, which a shared misreading could not pass.
class TslPacket
{
public:
    struct Message
    {
        quint16 index = 0;
        quint16 control = 0;
        QString text;
        // Raw bytes instead of text, for control data or odd lengths.
        QByteArray raw;
        bool useRaw = false;
    };

    // CONTROL from the three tally colours (0 off, 1 red, 2 green, 3 amber).
    static quint16 control(int right, int text, int left, int brightness = 3);

    static Message message(quint16 index, quint16 control, const QString &text);
    static Message rawMessage(quint16 index, quint16 control, const QByteArray &raw);

    // A 5.0 packet; text as Latin-1, or UTF-16LE when utf16 is set.
    static QByteArray tsl5(quint16 screen, const QList<Message> &messages, bool utf16 = false,
                           quint8 version = 0, quint8 extraFlags = 0);
    // The same packet on a TCP stream: DLE STX, then every DLE doubled.
    static QByteArray stuffed(const QByteArray &packet);

    // One 3.1 packet of 18 bytes; the text is padded with blanks or cut to 16.
    static QByteArray tsl31(quint8 address, quint8 tallies, const QString &text,
                            quint8 brightness = 3);
};

#endif // TSLPACKET_H
