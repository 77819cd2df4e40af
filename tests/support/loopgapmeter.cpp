#include "tests/support/loopgapmeter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

LoopGapMeter::LoopGapMeter(QObject *parent)
    : QObject(parent)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1);
    connect(&timer, &QTimer::timeout, this, &LoopGapMeter::tick);
}

LoopGapMeter::~LoopGapMeter()
{
    if (statFd >= 0)
        ::close(statFd);
}

bool LoopGapMeter::readSchedStat(qint64 *runNs, qint64 *queueNs) const
{
    char text[128];
    const ssize_t n = statFd >= 0 ? ::pread(statFd, text, sizeof text - 1, 0) : -1;
    if (n <= 0)
        return false;
    text[n] = '\0';
    long long run = 0, queue = 0;
    if (std::sscanf(text, "%lld %lld", &run, &queue) != 2)
        return false;
    *runNs = run;
    *queueNs = queue;
    return true;
}

void LoopGapMeter::start()
{
    // Opened on the thread it describes: "thread-self" is the caller.
    if (statFd < 0)
        statFd = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    clock.start();
    lastNs = 0;
    readSchedStat(&lastRunNs, &lastQueueNs);
    timer.start();
}

void LoopGapMeter::stop()
{
    timer.stop();
}

void LoopGapMeter::newPhase()
{
    longest = Gap();
    longestStallGap = Gap();
    phaseGaps.clear();
    lastNs = clock.nsecsElapsed();
    readSchedStat(&lastRunNs, &lastQueueNs);
}

int LoopGapMeter::gapsOver(double ms) const
{
    int n = 0;
    for (const Gap &gap : phaseGaps)
        n += gap.ms > ms;
    return n;
}

int LoopGapMeter::stallsOver(double ms) const
{
    int n = 0;
    for (const Gap &gap : phaseGaps)
        n += gap.stallMs() > ms;
    return n;
}

void LoopGapMeter::tick()
{
    const qint64 now = clock.nsecsElapsed();
    qint64 runNs = lastRunNs;
    qint64 queueNs = lastQueueNs;
    // Without the kernel's account, the whole gap counts as a stall.
    readSchedStat(&runNs, &queueNs);
    Gap gap;
    gap.atS = now / 1e9;
    gap.ms = (now - lastNs) / 1e6;
    gap.cpuMs = (runNs - lastRunNs) / 1e6;
    gap.queueMs = qBound(0.0, (queueNs - lastQueueNs) / 1e6, gap.ms);
    lastNs = now;
    lastRunNs = runNs;
    lastQueueNs = queueNs;
    ++count;
    if (gap.ms > longest.ms)
        longest = gap;
    if (gap.stallMs() > longestStallGap.stallMs())
        longestStallGap = gap;
    if (gap.ms > 20 && phaseGaps.size() < 5000)
        phaseGaps << gap;
    if (gap.ms > 50 && gaps.size() < 40)
        gaps << gap;
}

QString LoopGapMeter::Gap::describe() const
{
    return QStringLiteral("gap of %1 ms at %2 s (ran %3 ms, waited %4 ms for a core, stalled %5 ms)")
        .arg(ms, 0, 'f', 1)
        .arg(atS, 0, 'f', 1)
        .arg(cpuMs, 0, 'f', 1)
        .arg(queueMs, 0, 'f', 1)
        .arg(stallMs(), 0, 'f', 1);
}

QString LoopGapMeter::summary() const
{
    return QStringLiteral("longest %1; longest stall in a %2; %3 ticks")
        .arg(longest.describe(), longestStallGap.describe())
        .arg(count);
}
