#include "tally/tslstreamframer.h"

QList<QByteArray> TslStreamFramer::feed(const char *data, qsizetype size)
{
    QList<QByteArray> done;
    for (qsizetype i = 0; i < size; ++i) {
        const quint8 byte = quint8(data[i]);
        switch (state) {
        case State::Hunting:
            if (byte == Dle)
                state = State::HuntingDle;
            else
                ++dropped;
            break;
        case State::HuntingDle:
            if (byte == Stx) {
                packet.clear();
                state = State::InPacket;
            } else {
                // A doubled DLE here is a data byte of a packet we are
                // skipping, not the start of a DLE STX.
                dropped += 2;
                state = State::Hunting;
            }
            break;
        case State::InPacket:
            if (byte == Dle)
                state = State::InPacketDle;
            else
                append(char(byte), done);
            break;
        case State::InPacketDle:
            if (byte == Dle) {
                state = State::InPacket;
                append(char(byte), done);
            } else if (byte == Stx) {
                // The sender gave up on that packet and began another.
                ++aborted;
                dropped += packet.size();
                packet.clear();
                state = State::InPacket;
            } else {
                ++escapes;
                dropped += packet.size() + 2;
                packet.clear();
                state = State::Hunting;
            }
            break;
        }
    }
    return done;
}

void TslStreamFramer::append(char byte, QList<QByteArray> &done)
{
    packet.append(byte);
    if (packet.size() < 2)
        return;
    const qsizetype wanted = qsizetype(quint8(packet.at(0)) | (quint8(packet.at(1)) << 8)) + 2;
    if (packet.size() < wanted)
        return;
    done.append(packet);
    packet.clear();
    // Whatever follows until the next DLE STX belongs to no packet.
    state = State::Hunting;
}

void TslStreamFramer::reset()
{
    packet.clear();
    state = State::Hunting;
}
