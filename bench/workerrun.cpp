#include "bench/workerrun.h"

#include "monitor/cmonitor.h"
#include "protocol/rscmd.h"
#include "supervision/mcontroller.h"
#include "transport/rsthread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <pthread.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Stamp {
    Clock::time_point at;
    bool ok;
};

// The main thread keeps taking the finished commands meanwhile.
void serveFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

bool WorkerRun::settle(int monitorCount, int timeoutMs)
{
    MController controller;
    RSThread *thread = controller.transactionThread();
    for (int a = 1; a <= monitorCount; ++a)
        thread->addMonitor(new CMonitor(quint8(a)));
    // Two whole rounds of nothing but status polls: nobody asks for more.
    std::atomic<int> pollsInARow{0};
    QObject::disconnect(thread, &RSThread::cmdDone, &controller, &MController::cmdAnalyzer);
    QObject::connect(thread, &RSThread::cmdDone, [&pollsInARow](RSCmd *cmd) {
        if (cmd->code == RSCmd::CodeEcho && cmd->status == RSCmd::StatusOk)
            ++pollsInARow;
        else
            pollsInARow = 0;
    });
    QObject::connect(thread, &RSThread::cmdDone, &controller, &MController::cmdAnalyzer);
    if (!thread->startBus())
        return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pollsInARow < 2 * monitorCount && Clock::now() < deadline)
        serveFor(20);
    thread->stopBus();
    QCoreApplication::sendPostedEvents(&controller);
    return pollsInARow >= 2 * monitorCount;
}

bool WorkerRun::run(int monitorCount, int durationMs, BenchResult *result)
{
    MController controller;
    RSThread *thread = controller.transactionThread();
    // Known, switched on and read out already, as after a search: what a
    // settled bus answers starts no follow-up queries.
    for (int a = 1; a <= monitorCount; ++a) {
        auto *monitor = new CMonitor(quint8(a));
        monitor->state = CMonitor::StatePower;
        thread->addMonitor(monitor);
    }

    // Written by the worker only, read here after it has ended. The stamp
    // comes first: once the supervisor's queued call is posted, the command
    // belongs to the main thread.
    std::vector<Stamp> stamps;
    stamps.reserve(400000);
    std::atomic<bool> haveWorkerClock{false};
    clockid_t workerClock{};
    QObject::disconnect(thread, &RSThread::cmdDone, &controller, &MController::cmdAnalyzer);
    QObject::connect(thread, &RSThread::cmdDone, [&](RSCmd *cmd) {
        stamps.push_back({Clock::now(), cmd->status == RSCmd::StatusOk});
        if (!haveWorkerClock.load(std::memory_order_relaxed)
            && pthread_getcpuclockid(pthread_self(), &workerClock) == 0)
            haveWorkerClock.store(true, std::memory_order_release);
    });
    QObject::connect(thread, &RSThread::cmdDone, &controller, &MController::cmdAnalyzer);

    if (!thread->startBus())
        return false;
    serveFor(200);
    if (!haveWorkerClock.load(std::memory_order_acquire)) {
        thread->stopBus();
        return false;
    }
    const double cpuStart = BenchResult::cpuNow();
    const double workerStart = BenchResult::threadCpuNow(workerClock);
    const double mainStart = BenchResult::threadCpuNow();
    const Clock::time_point start = Clock::now();
    serveFor(durationMs);
    const Clock::time_point end = Clock::now();
    const double cpuEnd = BenchResult::cpuNow();
    const double workerEnd = BenchResult::threadCpuNow(workerClock);
    const double mainEnd = BenchResult::threadCpuNow();
    thread->stopBus();
    QCoreApplication::sendPostedEvents(&controller); // the last commands, so that none is left behind

    *result = BenchResult();
    result->cpuSeconds = cpuEnd - cpuStart;
    result->loopCpuSeconds = workerEnd - workerStart;
    result->receiverCpuSeconds = mainEnd - mainStart;
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
