#include "tools/sim/simwire.h"

#include <algorithm>

void SimWire::setBaud(int baud)
{
    m_baud = baud > 0 ? baud : 0;
    // Rounding to whole nanoseconds errs by less than 1 ns per byte even at
    // 115200 baud; the error does not grow because each deadline builds on
    // the previous one.
    m_byteTime = m_baud > 0 ? std::chrono::nanoseconds((10'000'000'000LL + m_baud / 2) / m_baud)
                            : std::chrono::nanoseconds(0);
}

SimWire::Clock::time_point SimWire::transfer(Clock::time_point ready)
{
    const Clock::time_point start = std::max(ready, m_free);
    m_free = start + m_byteTime;
    return m_free;
}
