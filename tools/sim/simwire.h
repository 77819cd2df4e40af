#ifndef SIMWIRE_H
#define SIMWIRE_H

#include <chrono>

// One direction of a serial line: a byte occupies it for ten bit times
// (start, eight data bits, stop). Times are absolute deadlines, so a late
// wake-up never makes the following bytes late as well.
class SimWire
{
public:
    using Clock = std::chrono::steady_clock;

    void setBaud(int baud); // 0: bytes cost no time
    int baud() const { return m_baud; }
    std::chrono::nanoseconds byteTime() const { return m_byteTime; }

    // Sends one byte that is ready at `ready`; returns when its last bit is
    // on the far side. A busy line delays it until the previous byte is done.
    Clock::time_point transfer(Clock::time_point ready);

    // The moment the line falls idle.
    Clock::time_point freeAt() const { return m_free; }
    void reset() { m_free = Clock::time_point(); }

private:
    int m_baud = 0;
    std::chrono::nanoseconds m_byteTime{0};
    Clock::time_point m_free;
};

#endif // SIMWIRE_H
