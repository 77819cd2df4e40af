#include "bench/bareloop.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Reads `count` bytes starting at the sync byte within timeoutMs.
bool readReply(int fd, quint8 sync, int count, int timeoutMs)
{
    unsigned char reply[64];
    int have = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (have < count) {
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 deadline - Clock::now()).count());
        if (left < 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, left) <= 0)
            return false;
        const ssize_t n = ::read(fd, reply + have, size_t(count - have));
        if (n <= 0)
            return false;
        have += int(n);
        while (have > 0 && reply[0] != sync) {
            std::copy(reply + 1, reply + have, reply);
            --have;
        }
    }
    return true;
}

} // namespace

bool BareLoop::run(const QString &device, const QList<quint8> &addresses, int durationMs,
                   BenchResult *result)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &tio);
    tcflush(fd, TCIOFLUSH);

    *result = BenchResult();
    result->cycleMs.reserve(400000);
    const double cpuStart = BenchResult::cpuNow();
    const double loopCpuStart = BenchResult::threadCpuNow();
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::milliseconds(durationMs);
    Clock::time_point last = start;
    for (int i = 0; Clock::now() < end; ++i) {
        const quint8 address = addresses.at(i % addresses.size());
        const unsigned char frame[2] = {quint8(0x80 | address), 0x80};
        bool ok = ::write(fd, frame, 2) == 2;
        ok = ok && readReply(fd, frame[0], 2, 500);
        const Clock::time_point now = Clock::now();
        result->cycleMs << std::chrono::duration<double, std::milli>(now - last).count();
        last = now;
        ++result->exchanges;
        if (!ok)
            ++result->failures;
    }
    result->seconds = std::chrono::duration<double>(last - start).count();
    result->cpuSeconds = BenchResult::cpuNow() - cpuStart;
    result->loopCpuSeconds = BenchResult::threadCpuNow() - loopCpuStart;
    ::close(fd);
    return true;
}
