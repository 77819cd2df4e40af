#include "bench/loopgapmeter.h"

#include <time.h>

namespace {

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace

LoopGapMeter::LoopGapMeter(QObject *parent)
    : QObject(parent)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1);
    connect(&timer, &QTimer::timeout, this, &LoopGapMeter::tick);
}

void LoopGapMeter::start()
{
    clock.start();
    lastNs = 0;
    lastCpuNs = threadCpuNs();
    timer.start();
}

void LoopGapMeter::stop()
{
    timer.stop();
}

void LoopGapMeter::newPhase()
{
    previousLongest = longest;
    longest = 0;
    longestAt = 0;
    over20 = over50 = over100 = 0;
    lastNs = clock.nsecsElapsed();
    lastCpuNs = threadCpuNs();
}

int LoopGapMeter::gapsOver(int ms) const
{
    return ms >= 100 ? over100 : ms >= 50 ? over50 : over20;
}

void LoopGapMeter::tick()
{
    const qint64 now = clock.nsecsElapsed();
    const qint64 cpuNow = threadCpuNs();
    const double gapMs = (now - lastNs) / 1e6;
    const double cpuMs = (cpuNow - lastCpuNs) / 1e6;
    lastNs = now;
    lastCpuNs = cpuNow;
    ++count;
    if (gapMs > 20)
        ++over20;
    if (gapMs > 50) {
        ++over50;
        if (gaps.size() < 40)
            gaps << Gap{now / 1e9, gapMs, cpuMs};
    }
    if (gapMs > 100)
        ++over100;
    if (gapMs > longest) {
        longest = gapMs;
        longestAt = now / 1e9;
    }
}
