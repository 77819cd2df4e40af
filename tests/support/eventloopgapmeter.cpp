#include "tests/support/eventloopgapmeter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

EventLoopGapMeter::EventLoopGapMeter()
{
    timer.setInterval(1);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &timer, [this] { tick(); });
}

EventLoopGapMeter::~EventLoopGapMeter()
{
    if (schedstat >= 0)
        ::close(schedstat);
}

void EventLoopGapMeter::start()
{
    // The counters of the thread that runs the timer, which is this one.
    if (schedstat >= 0)
        ::close(schedstat);
    schedstat = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    longest = Gap();
    longestHeld = Gap();
    count = 0;
    clock.start();
    last = sample();
    timer.start();
}

void EventLoopGapMeter::stop()
{
    // The stretch since the last timeout counts too: a loop held up at the
    // very end must not go unseen.
    if (timer.isActive())
        tick();
    timer.stop();
}

EventLoopGapMeter::Sample EventLoopGapMeter::sample() const
{
    Sample s;
    s.clockNs = clock.nsecsElapsed();
    char text[128];
    const ssize_t n = schedstat >= 0 ? ::pread(schedstat, text, sizeof text - 1, 0) : -1;
    if (n > 0) {
        text[n] = '\0';
        long long cpu = 0;
        long long wait = 0;
        if (std::sscanf(text, "%lld %lld", &cpu, &wait) == 2) {
            s.cpuNs = cpu;
            s.waitNs = wait;
        }
    }
    return s;
}

void EventLoopGapMeter::tick()
{
    const Sample now = sample();
    Gap gap;
    gap.gapNs = now.clockNs - last.clockNs;
    gap.cpuNs = now.cpuNs - last.cpuNs;
    gap.waitNs = qBound<qint64>(0, now.waitNs - last.waitNs, gap.gapNs);
    gap.endNs = now.clockNs;
    if (gap.gapNs > longest.gapNs)
        longest = gap;
    if (gap.heldNs() > longestHeld.heldNs())
        longestHeld = gap;
    last = now;
    ++count;
}

QString EventLoopGapMeter::describe(const Gap &gap)
{
    return QStringLiteral("%1 ms (%2 waiting for a core, %3 on it) at %4 s")
        .arg(gap.gapNs / 1e6, 0, 'f', 1)
        .arg(gap.waitNs / 1e6, 0, 'f', 1)
        .arg(gap.cpuNs / 1e6, 0, 'f', 1)
        .arg(gap.endNs / 1e9, 0, 'f', 1);
}

QString EventLoopGapMeter::summary() const
{
    return QStringLiteral("longest gap %1; longest held %2 ms, in a gap of %3; %4 ticks")
        .arg(describe(longest))
        .arg(longestHeld.heldNs() / 1e6, 0, 'f', 1)
        .arg(describe(longestHeld))
        .arg(count);
}
