#ifndef TSLSTREAMFRAMER_H
#define TSLSTREAMFRAMER_H

#include <QByteArray>
#include <QList>

// TSL UMD 5.0 over TCP: each packet follows DLE STX, with every DLE inside it
// doubled. The stream arrives in arbitrary pieces; this collects whole,
// unstuffed packets. It holds at most one unfinished packet, so a peer
// sending nonsense cannot make it grow.
class TslStreamFramer
{
public:
    static constexpr quint8 Dle = 0xFE;
    static constexpr quint8 Stx = 0x02;
    static constexpr qsizetype MaxPacketSize = 0xFFFF + 2; // largest byte count plus itself

    // The packets completed by these bytes, in order. Each has exactly as
    // many bytes as its byte count announces, plus the count's two.
    QList<QByteArray> feed(const QByteArray &chunk) { return feed(chunk.constData(), chunk.size()); }
    QList<QByteArray> feed(const char *data, qsizetype size);

    // Throws away any unfinished packet and waits for the next DLE STX.
    void reset();

    // Bytes outside any packet: before the first DLE STX, between packets,
    // and after a bad DLE sequence until the next DLE STX.
    qint64 droppedBytes() const { return dropped; }
    // Unfinished packets abandoned because a new DLE STX began.
    qint64 abortedPackets() const { return aborted; }
    // DLE followed by a byte that is neither DLE nor STX.
    qint64 escapeErrors() const { return escapes; }
    // Bytes of the unfinished packet held now.
    qsizetype pendingBytes() const { return packet.size(); }

private:
    enum class State { Hunting, HuntingDle, InPacket, InPacketDle };

    void append(char byte, QList<QByteArray> &done);

    State state = State::Hunting;
    QByteArray packet;
    qint64 dropped = 0;
    qint64 aborted = 0;
    qint64 escapes = 0;
};

#endif // TSLSTREAMFRAMER_H
