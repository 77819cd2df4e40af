#include "bench/workerrun.h"

#include "monitor/cmonitor.h"
#include "protocol/rscmd.h"
#include "transport/rsthread.h"

#include <QThread>

#include <chrono>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Stamp {
    Clock::time_point at;
    bool ok;
};

} // namespace

bool WorkerRun::run(int monitorCount, int durationMs, BenchResult *result)
{
    RSThread thread;
    for (int a = 1; a <= monitorCount; ++a)
        thread.addMonitor(new CMonitor(quint8(a)));

    // Written by the worker only, read here after it has ended.
    std::vector<Stamp> stamps;
    stamps.reserve(400000);
    QObject::connect(&thread, &RSThread::cmdDone, [&stamps](RSCmd *cmd) {
        stamps.push_back({Clock::now(), cmd->status == RSCmd::StatusOk});
        delete cmd;
    });

    if (!thread.startBus())
        return false;
    QThread::msleep(200);
    const double cpuStart = BenchResult::cpuNow();
    const Clock::time_point start = Clock::now();
    QThread::msleep(ulong(durationMs));
    const Clock::time_point end = Clock::now();
    const double cpuEnd = BenchResult::cpuNow();
    thread.stopBus();

    *result = BenchResult();
    result->cpuSeconds = cpuEnd - cpuStart;
    Clock::time_point previous{};
    for (const Stamp &s : stamps) {
        if (s.at <= start || s.at > end) {
            if (s.at <= start)
                previous = s.at;
            continue;
        }
        if (previous != Clock::time_point())
            result->cycleMs << std::chrono::duration<double, std::milli>(s.at - previous).count();
        previous = s.at;
        ++result->exchanges;
        if (!s.ok)
            ++result->failures;
    }
    result->seconds = std::chrono::duration<double>(end - start).count();
    return true;
}
