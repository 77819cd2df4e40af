#include "tools/sim/simframer.h"

int SimFramer::frameLength(quint8 secondByte)
{
    if (secondByte >= 0x80 && secondByte <= 0x83)
        return 2; // echo, proto, alarm, update
    if (secondByte == 0x90 || secondByte == 0xD0)
        return 4; // query, control
    if ((secondByte & 0xF0) == 0x30)
        return 18; // UMD: tally byte, then the text twice
    return 0;
}

std::optional<SimFramer::Frame> SimFramer::push(quint8 byte, Clock::time_point at)
{
    if (!m_frame.isEmpty() && at - m_last > GapLimit) {
        m_garbage.append(m_frame);
        m_frame.clear();
    }
    m_last = at;
    if (m_frame.isEmpty()) {
        if (!(byte & 0x80)) {
            m_garbage.append(char(byte));
            return std::nullopt;
        }
        m_frame.append(char(byte));
        m_start = at;
        return std::nullopt;
    }
    if (m_frame.size() == 1 && frameLength(byte) == 0) {
        // The supposed sync byte starts nothing we know: drop it and let
        // this byte try to be a sync byte itself.
        m_garbage.append(m_frame);
        m_frame.clear();
        return push(byte, at);
    }
    m_frame.append(char(byte));
    if (m_frame.size() < frameLength(quint8(m_frame.at(1))))
        return std::nullopt;
    Frame frame{m_frame, m_start, at};
    m_frame.clear();
    return frame;
}

QByteArray SimFramer::takeGarbage()
{
    QByteArray garbage;
    garbage.swap(m_garbage);
    return garbage;
}

void SimFramer::reset()
{
    m_frame.clear();
    m_garbage.clear();
}
