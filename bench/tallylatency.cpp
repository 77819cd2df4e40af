// What the tally input costs the bus it shares, at 9600 baud with 126
// monitors polled by the supervisor and a TSL 5.0 sender on the loopback
// address:
//
// 1. From a tally change leaving the sender to the first byte of its UMD
//    frame on the simulated line, for changes spaced within the bridge's
//    budget, so that the figure is the path itself and not the pacing.
// 2. Alarm latency, measured as kc-bench-alarm does, while every address's
//    tally changes at random at 5000 packets per second, against the same
//    figure without tally traffic taken in the same run; and what the
//    application's threads spend on the CPU meanwhile.
//
// The simulator runs in this process for its steady-clock trace of the
// line; its threads and the sender's are left out of the CPU account.
// Figures are printed beside their targets, never asserted.
#include "bench/benchresult.h"
#include "bench/tslsender.h"
#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"
#include "protocol/rscmd.h"
#include "supervision/mcontroller.h"
#include "tally/tallybridge.h"
#include "tally/tallyinput.h"
#include "tally/tallysettings.h"
#include "tests/support/tslpacket.h"
#include "tools/sim/simbus.h"
#include "transport/rsthread.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <pthread.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Baud = 9600;
constexpr int Monitors = 126;
constexpr int Changes = 200;
constexpr quint8 ChangedAddresses[] = {17, 90};
constexpr int SpacingMinMs = 180; // the budget allows one frame per ~155 ms
constexpr int SpacingJitterMs = 60;
constexpr int AlarmSamples = 30;
constexpr int FloodPerSecond = 5000;
constexpr int FloodWarmupMs = 2000;

constexpr double MedianTargetMs = 30;
constexpr double P99TargetMs = 60;
constexpr double AlarmRatioTarget = 1.5;
constexpr double CpuTarget = 0.15;

double wireMs(int bytes)
{
    return bytes * 10 * 1000.0 / Baud;
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void serveFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The threads of this process, by task id.
QSet<QString> tasks()
{
    const QStringList list = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return QSet<QString>(list.begin(), list.end());
}

// CPU seconds of one task of this process, user and system, in clock ticks'
// resolution; 0 once it has gone.
double taskCpu(const QString &tid)
{
    QFile file(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = file.readAll();
    // The command name may hold blanks: count fields after its ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    // Fields 14 and 15 of the line, utime and stime, are 11 and 12 here.
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// CPU readings taken at one moment.
struct CpuMark
{
    Clock::time_point at;
    double process = 0;
    double main = 0;
    double worker = 0;
    double simulator = 0;
    double sender = 0;
};

struct CpuShare
{
    double app = 0;       // the process less the simulator and the sender
    double main = 0;      // supervisor and tally input
    double worker = 0;    // the bus worker
    double simulator = 0; // for the record, not counted
    double sender = 0;    // for the record, not counted
};

CpuShare shareBetween(const CpuMark &a, const CpuMark &b)
{
    const double seconds = std::chrono::duration<double>(b.at - a.at).count();
    CpuShare s;
    if (seconds <= 0)
        return s;
    s.main = (b.main - a.main) / seconds;
    s.worker = (b.worker - a.worker) / seconds;
    s.simulator = (b.simulator - a.simulator) / seconds;
    s.sender = (b.sender - a.sender) / seconds;
    s.app = (b.process - a.process) / seconds - s.simulator - s.sender;
    return s;
}

struct AlarmFigures
{
    double medianMs = 0;
    double worstMs = 0;
    int missed = 0;
};

// As kc-bench-alarm: an alarm raised at a random point of the poll cycle,
// until monitorChanged says so; then cleared again.
AlarmFigures alarmLatency(MController &controller, SimBus &bus, double cycleMs, QRandomGenerator &random)
{
    AlarmFigures figures;
    QList<double> latencies;
    for (int sample = 0; sample < AlarmSamples; ++sample) {
        const quint8 address = quint8(1 + random.bounded(Monitors));
        QElapsedTimer timer;
        bool seen = false;
        QEventLoop loop;
        const QMetaObject::Connection watch = QObject::connect(
            &controller, &MController::monitorChanged, &controller, [&](const CMonitor &m) {
                if (m.address == address && hasAlarm(m) && !seen) {
                    seen = true;
                    latencies << timer.nsecsElapsed() / 1e6;
                    loop.quit();
                }
            });
        QTest::qWait(random.bounded(int(cycleMs) + 1));
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        timer.start();
        bus.setAlarm(address, 0x08);
        loop.exec();
        if (!seen)
            ++figures.missed;
        QObject::disconnect(watch);
        bus.setAlarm(address, 0x00);
        if (!QTest::qWaitFor([&] { return !hasAlarm(*controller.monitorAt(address - 1)); }, 10000))
            ++figures.missed;
    }
    figures.medianMs = BenchResult::median(latencies);
    figures.worstMs = latencies.isEmpty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
    return figures;
}

// A port free for both UDP and TCP on the loopback address, as the 5.0
// listener takes both.
quint16 freePort()
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QTcpServer tcp;
        if (!tcp.listen(QHostAddress::LocalHost, 0))
            continue;
        QUdpSocket udp;
        if (udp.bind(QHostAddress::LocalHost, tcp.serverPort()))
            return tcp.serverPort();
    }
    return 0;
}

const char *verdict(bool pass)
{
    return pass ? "PASS" : "FAIL";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("no temporary directory");
    QDir::setCurrent(dir.path());

    SimBus bus;
    bus.setBaud(Baud);
    for (int address = 1; address <= Monitors; ++address) {
        SimMonitorState state;
        state.address = quint8(address);
        state.serialNumber = QStringLiteral("KV%1").arg(address, 4, 10, QLatin1Char('0'));
        bus.addMonitor(state);
    }
    // The threads the bus starts are the simulator's.
    const QSet<QString> before = tasks();
    QString error;
    if (!bus.start(&error))
        qFatal("simulated bus: %s", qPrintable(error));
    const QSet<QString> simulatorTasks = tasks() - before;

    QFile ini(QStringLiteral("mc422.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        qFatal("cannot write mc422.ini");
    ini.write(QStringLiteral("[serial]\nport=%1\ntotaltimeout=100\n").arg(bus.devicePath()).toUtf8());
    ini.close();

    MController controller;
    // The worker's CPU clock, taken on the worker itself.
    std::atomic<bool> haveWorkerClock{false};
    clockid_t workerClock{};
    QObject::connect(controller.transactionThread(), &RSThread::cmdDone, [&](RSCmd *) {
        if (!haveWorkerClock.load(std::memory_order_relaxed)
            && pthread_getcpuclockid(pthread_self(), &workerClock) == 0)
            haveWorkerClock.store(true, std::memory_order_release);
    });
    QObject::connect(&controller, &MController::addressChanged, &controller, [&](int addr) {
        if (addr == Monitors + 1)
            controller.stopSearch();
    });
    controller.startSearch();
    const bool readOut = QTest::qWaitFor([&] {
        if (controller.monitorCount() < Monitors)
            return false;
        for (int i = 0; i < Monitors; ++i)
            if (controller.monitorAt(i)->pendingQueries || controller.monitorAt(i)->serialNumber.isEmpty())
                return false;
        return true;
    }, 180000);
    if (!readOut || !haveWorkerClock.load(std::memory_order_acquire))
        qFatal("the monitors were not read out");

    // One poll cycle, measured on the line.
    bus.clearTrace();
    QTest::qWait(Monitors * 5 * 3 + 200);
    QList<Clock::time_point> polls;
    for (const SimTraceEntry &entry : bus.trace())
        if (entry.kind == SimTraceEntry::Request && entry.address == 1 && entry.bytes.size() == 2
            && quint8(entry.bytes.at(1)) == 0x80)
            polls << entry.start;
    const double cycleMs = polls.size() >= 2 ? ms(polls.last() - polls.first()) / double(polls.size() - 1) : 0;

    // The tally input as the application starts it: from the settings file.
    TallyInput input(&controller);
    quint16 port = 0;
    for (int attempt = 0; attempt < 5 && !input.isOn(); ++attempt) {
        TallySettings settings;
        settings.tsl5 = true;
        settings.tsl5Port = port = freePort();
        settings.bind = QStringLiteral("127.0.0.1");
        settings.write();
        if (!port || !input.start(TallySettings::read(), Baud).isEmpty())
            input.stop();
    }
    if (!input.isOn() || !input.status(TallyInput::Tsl5Udp).listening)
        qFatal("the tally input does not listen");

    const auto cpuMark = [&](TslSender *sender) {
        CpuMark m;
        m.at = Clock::now();
        m.process = BenchResult::cpuNow();
        m.main = BenchResult::threadCpuNow();
        m.worker = BenchResult::threadCpuNow(workerClock);
        for (const QString &tid : simulatorTasks)
            m.simulator += taskCpu(tid);
        clockid_t senderClock{};
        if (sender && sender->cpuClock(&senderClock))
            m.sender = BenchResult::threadCpuNow(senderClock);
        return m;
    };

    QRandomGenerator random(20261206);

    // ---- 1. packet to frame --------------------------------------------------
    struct Change
    {
        quint8 address;
        quint8 lamps;
    };
    QList<Change> changes;
    QList<TslSender::Timed> timed;
    Clock::duration at = std::chrono::milliseconds(300);
    for (int i = 0; i < Changes; ++i) {
        const quint8 address = ChangedAddresses[i % 2];
        // Red, then green, then red again: every packet is a real change.
        const bool red = (i / 2) % 2 == 0;
        changes << Change{address, red ? UmdState::Red : UmdState::Green};
        const QByteArray packet = TslPacket::tsl5(
            0, {TslPacket::message(address, TslPacket::control(red ? 1 : 2, 0, 0),
                                   QStringLiteral("CAM %1").arg(address))});
        timed << TslSender::Timed{at, packet};
        at += std::chrono::milliseconds(SpacingMinMs + int(random.bounded(SpacingJitterMs + 1)));
    }
    const double meanSpacingMs = ms(timed.last().at - timed.first().at) / double(Changes - 1);

    const quint64 framesBefore = input.bridge()->framesSent();
    TslSender changer;
    if (!changer.open(port, &error))
        qFatal("sender: %s", qPrintable(error));
    bus.clearTrace();
    changer.startTimed(timed);
    serveFor(int(ms(timed.last().at)) + 1000);
    changer.stop();
    const quint64 framesForChanges = input.bridge()->framesSent() - framesBefore;
    const QList<SimTraceEntry> trace = bus.trace();

    QList<double> toFirstByte;
    int unmatched = 0;
    const QList<Clock::time_point> &sentAt = changer.sentAt();
    for (int i = 0; i < changes.size() && i < sentAt.size(); ++i) {
        // The next change of the same address ends the window.
        const Clock::time_point until = i + 2 < sentAt.size() ? sentAt.at(i + 2) : Clock::time_point::max();
        bool found = false;
        for (const SimTraceEntry &entry : trace) {
            if (entry.kind != SimTraceEntry::Request || entry.start < sentAt.at(i) || entry.start >= until)
                continue;
            if (entry.address == changes.at(i).address && entry.bytes.size() == TallyBridge::UmdFrameBytes
                && quint8(entry.bytes.at(1)) == (0x30 | changes.at(i).lamps)) {
                toFirstByte << ms(entry.start - sentAt.at(i));
                found = true;
                break;
            }
        }
        if (!found)
            ++unmatched;
    }
    unmatched += int(changes.size() - sentAt.size());
    const double medianMs = BenchResult::median(toFirstByte);
    const double p99Ms = BenchResult::percentile(toFirstByte, 0.99);
    const double worstMs = toFirstByte.isEmpty() ? 0 : *std::max_element(toFirstByte.begin(), toFirstByte.end());

    // ---- 2. alarms, quiet and under the flood ---------------------------------
    const CpuMark quietStart = cpuMark(nullptr);
    const AlarmFigures quiet = alarmLatency(controller, bus, cycleMs, random);
    const CpuMark quietEnd = cpuMark(nullptr);
    const CpuShare quietCpu = shareBetween(quietStart, quietEnd);

    // Every display's every lamp combination, with its own name.
    QList<QByteArray> variants;
    for (int index = 1; index <= Monitors; ++index)
        for (int lamps = 0; lamps < 64; ++lamps)
            variants << TslPacket::tsl5(0, {TslPacket::message(quint16(index),
                                                               TslPacket::control(lamps & 3, (lamps >> 2) & 3, lamps >> 4),
                                                               QStringLiteral("CAM %1").arg(index))});
    const TallyInput::Status inputBefore = input.status(TallyInput::Tsl5Udp);
    const quint64 floodFramesBefore = input.bridge()->framesSent();
    TslSender flooder;
    if (!flooder.open(port, &error))
        qFatal("sender: %s", qPrintable(error));
    flooder.startFlood(variants, FloodPerSecond, 4242);
    serveFor(FloodWarmupMs);
    const CpuMark floodStart = cpuMark(&flooder);
    const quint64 floodFramesStart = input.bridge()->framesSent();
    const AlarmFigures flood = alarmLatency(controller, bus, cycleMs, random);
    const CpuMark floodEnd = cpuMark(&flooder);
    const quint64 floodFramesEnd = input.bridge()->framesSent();
    flooder.stop();
    serveFor(500); // what is still queued on the socket
    const CpuShare floodCpu = shareBetween(floodStart, floodEnd);
    const TallyInput::Status inputAfter = input.status(TallyInput::Tsl5Udp);
    const double floodSeconds = std::chrono::duration<double>(floodEnd.at - floodStart.at).count();
    const double framesPerSecond = floodSeconds > 0 ? double(floodFramesEnd - floodFramesStart) / floodSeconds : 0;
    const double frameMs = wireMs(TallyBridge::UmdFrameBytes) + TallyBridge::UmdPauseMs;
    const double budgetPerSecond = 1000.0 * TallyBridge::BusShare / frameMs;

    input.stop();

    // ---- report ---------------------------------------------------------------
    std::printf("Tally input benchmark: %d baud, %d simulated monitors polled by the supervisor, "
                "TSL 5.0 over UDP on 127.0.0.1:%u\n", Baud, Monitors, unsigned(port));
    std::printf("Poll cycle measured on the line: %.1f ms\n\n", cycleMs);

    std::printf("1. Tally packet sent -> first byte of its UMD frame on the simulated line\n");
    std::printf("   %d changes, alternating addresses %d and %d, lamps red/green in turn (each a real change),\n"
                "   %d-%d ms apart (mean %.1f ms): the bridge's budget is one frame per %.0f ms sustained with a\n"
                "   burst of %d, so no change waited for sending credit.\n",
                Changes, ChangedAddresses[0], ChangedAddresses[1], SpacingMinMs, SpacingMinMs + SpacingJitterMs,
                meanSpacingMs, 1000.0 / budgetPerSecond, TallyBridge::BurstFrames);
    std::printf("   Method: the sender thread reads the steady clock just before send(); the simulator's trace\n"
                "   gives, on the same clock, the moment the frame's first byte was through the line (its %.2f ms\n"
                "   wire time at %d baud included). A frame counts when its address and lamp bits match the change\n"
                "   and it comes before the next change of that address.\n",
                wireMs(1), Baud);
    std::printf("   Matched %lld of %d; frames queued by the bridge: %llu; worst %.1f ms\n\n",
                static_cast<long long>(toFirstByte.size()), Changes,
                static_cast<unsigned long long>(framesForChanges), worstMs);

    std::printf("2. Alarm latency (as kc-bench-alarm: %d alarms at random points of the poll cycle -> monitorChanged),\n"
                "   quiet, then while tally state for all %d addresses changes at random at %d packets/s\n",
                AlarmSamples, Monitors, FloodPerSecond);
    std::printf("   Flood: sender thread sent %llu packets in %.1f s (%.0f/s, %llu send errors); the input took\n"
                "   %llu and dropped %llu; the bridge queued %.2f UMD frames/s during the alarms (budget %.2f/s).\n",
                static_cast<unsigned long long>(flooder.sent()), flooder.seconds(),
                flooder.seconds() > 0 ? double(flooder.sent()) / flooder.seconds() : 0.0,
                static_cast<unsigned long long>(flooder.failed()),
                static_cast<unsigned long long>(inputAfter.received - inputBefore.received),
                static_cast<unsigned long long>(inputAfter.dropped - inputBefore.dropped), framesPerSecond,
                budgetPerSecond);
    std::printf("   Frames queued over the whole flood: %llu\n",
                static_cast<unsigned long long>(floodFramesEnd - floodFramesBefore));
    std::printf("   CPU: the process's, less the simulator's threads (from /proc, tick resolution) and the\n"
                "   sender's thread (its own CPU clock); main thread and bus worker by their CPU clocks.\n");
    std::printf("   %-8s %9s %9s %8s %10s %10s %10s %10s %10s\n", "", "median ms", "worst ms", "missed", "app CPU",
                "main", "worker", "simulator", "sender");
    std::printf("   %-8s %9.1f %9.1f %8d %9.1f%% %9.1f%% %9.1f%% %9.1f%% %10s\n", "quiet", quiet.medianMs,
                quiet.worstMs, quiet.missed, 100 * quietCpu.app, 100 * quietCpu.main, 100 * quietCpu.worker,
                100 * quietCpu.simulator, "-");
    std::printf("   %-8s %9.1f %9.1f %8d %9.1f%% %9.1f%% %9.1f%% %9.1f%% %9.1f%%\n\n", "flood", flood.medianMs,
                flood.worstMs, flood.missed, 100 * floodCpu.app, 100 * floodCpu.main, 100 * floodCpu.worker,
                100 * floodCpu.simulator, 100 * floodCpu.sender);

    const double medianRatio = quiet.medianMs > 0 ? flood.medianMs / quiet.medianMs : 0;
    const double worstRatio = quiet.worstMs > 0 ? flood.worstMs / quiet.worstMs : 0;
    const bool allMatched = unmatched == 0;
    const bool noneMissed = quiet.missed == 0 && flood.missed == 0;
    std::printf("%-52s %14s %14s %6s\n", "figure", "measured", "target", "result");
    std::printf("%-52s %11.1f ms %11s ms %6s\n", "packet -> first UMD byte, median", medianMs, "< 30",
                verdict(allMatched && medianMs < MedianTargetMs));
    std::printf("%-52s %11.1f ms %11s ms %6s\n", "packet -> first UMD byte, 99th percentile", p99Ms, "< 60",
                verdict(allMatched && p99Ms < P99TargetMs));
    std::printf("%-52s %14.2f %14s %6s\n", "alarm latency median, flood / quiet", medianRatio, "<= 1.50",
                verdict(noneMissed && medianRatio > 0 && medianRatio <= AlarmRatioTarget));
    std::printf("%-52s %14.2f %14s %6s\n", "alarm latency worst, flood / quiet", worstRatio, "<= 1.50",
                verdict(noneMissed && worstRatio > 0 && worstRatio <= AlarmRatioTarget));
    std::printf("%-52s %12.1f %% %12s %% %6s\n", "application CPU during the flood (share of a core)",
                100 * floodCpu.app, "< 15", verdict(floodCpu.app < CpuTarget));
    if (!allMatched)
        std::printf("(%d changes had no matching frame: the latency rows fail)\n", unmatched);
    if (!noneMissed)
        std::printf("(alarms missed: %d quiet, %d flood: the ratio rows fail)\n", quiet.missed, flood.missed);
    std::fflush(stdout);

    bus.stop();
    return 0;
}
