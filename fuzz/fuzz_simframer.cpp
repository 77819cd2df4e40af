// Request framing in the simulator: any byte stream, with any delivery gaps,
// must be cut into frames of the announced length or into garbage.
#include "tools/sim/simframer.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace std::chrono;
    SimFramer framer;
    SimFramer::Clock::time_point at{};
    qsizetype delivered = 0;
    qsizetype accounted = 0;
    // Input is a list of pairs: a byte, then the time since the previous
    // byte in milliseconds (up to 255, so gaps both within and beyond the
    // limit occur).
    for (size_t i = 0; i + 1 < size; i += 2) {
        at += milliseconds(data[i + 1]);
        ++delivered;
        if (std::optional<SimFramer::Frame> frame = framer.push(data[i], at)) {
            const QByteArray &bytes = frame->bytes;
            // Every frame is a known request of exactly its announced length.
            if (bytes.size() < 2 || !(quint8(bytes.at(0)) & 0x80)
                || bytes.size() != SimFramer::frameLength(quint8(bytes.at(1)))
                || frame->start > frame->end || frame->end != at)
                std::abort();
            accounted += bytes.size();
        }
        accounted += framer.takeGarbage().size();
    }
    // Nothing is lost or invented: each byte went into a frame, the
    // garbage, or is still waiting in the unfinished frame.
    if (accounted > delivered || (accounted != delivered && !framer.inFrame()))
        std::abort();
    return 0;
}
