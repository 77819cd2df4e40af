#include "tests/support/tslpacket.h"

namespace {

void putU16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

} // namespace

quint16 TslPacket::control(int right, int text, int left, int brightness)
{
    return quint16((right & 3) | ((text & 3) << 2) | ((left & 3) << 4) | ((brightness & 3) << 6));
}

TslPacket::Message TslPacket::message(quint16 index, quint16 control, const QString &text)
{
    Message m;
    m.index = index;
    m.control = control;
    m.text = text;
    return m;
}

TslPacket::Message TslPacket::rawMessage(quint16 index, quint16 control, const QByteArray &raw)
{
    Message m;
    m.index = index;
    m.control = control;
    m.raw = raw;
    m.useRaw = true;
    return m;
}

QByteArray TslPacket::tsl5(quint16 screen, const QList<Message> &messages, bool utf16,
                           quint8 version, quint8 extraFlags)
{
    QByteArray body;
    body.append(char(version));
    body.append(char((utf16 ? 0x01 : 0x00) | extraFlags));
    putU16(body, screen);
    for (const Message &m : messages) {
        QByteArray text;
        if (m.useRaw) {
            text = m.raw;
        } else if (utf16) {
            for (QChar c : m.text)
                putU16(text, c.unicode());
        } else {
            text = m.text.toLatin1();
        }
        putU16(body, m.index);
        putU16(body, m.control);
        putU16(body, quint16(text.size()));
        body.append(text);
    }
    QByteArray packet;
    putU16(packet, quint16(body.size()));
    return packet + body;
}

QByteArray TslPacket::stuffed(const QByteArray &packet)
{
    QByteArray out("\xFE\x02", 2);
    for (char c : packet) {
        out.append(c);
        if (quint8(c) == 0xFE)
            out.append(c);
    }
    return out;
}

QByteArray TslPacket::tsl31(quint8 address, quint8 tallies, const QString &text, quint8 brightness)
{
    QByteArray out;
    out.append(char(0x80 + address));
    out.append(char((tallies & 0x0F) | ((brightness & 0x3) << 4)));
    out.append(text.left(16).toLatin1().leftJustified(16, ' '));
    return out;
}
