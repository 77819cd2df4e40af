// How long an alarm takes from a monitor raising it to the supervisor
// publishing it, on a simulated bus paced like a real 9600-baud line.
//
// The bound is one full poll cycle (the poll that sees the alarm-due flag can
// be up to one cycle away) plus the alarm query itself. The worker picks its
// next poll as soon as an exchange ends, before the supervisor has queued the
// alarm query, so one more poll can stand in between: the second bound.
#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"
#include "supervision/mcontroller.h"
#include "tools/sim/simbus.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Baud = 9600;
constexpr int Samples = 30;

double wireMs(int bytes)
{
    return bytes * 10 * 1000.0 / Baud;
}

struct Result {
    int monitors = 0;
    double medianMs = 0;
    double worstMs = 0;
    double cycleMs = 0; // measured: between two polls of the same monitor
    double boundMs = 0;         // one poll cycle plus the alarm query
    double inFlightBoundMs = 0; // plus the poll already on the wire when the flag is seen
    int missed = 0;
};

Result measure(int monitors)
{
    Result result;
    result.monitors = monitors;

    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());

    SimBus bus;
    bus.setBaud(Baud);
    for (int address = 1; address <= monitors; ++address) {
        SimMonitorState state;
        state.address = quint8(address);
        state.serialNumber = QStringLiteral("KV%1").arg(address, 4, 10, QLatin1Char('0'));
        bus.addMonitor(state);
    }
    QString error;
    if (!bus.start(&error))
        qFatal("simulated bus: %s", qPrintable(error));

    QFile ini(QStringLiteral("mc422.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write(QStringLiteral("[serial]\nport=%1\ntotaltimeout=100\n").arg(bus.devicePath()).toUtf8());
    ini.close();

    {
        MController controller;
        // Cancel the search right after the last monitor: the silent
        // addresses above would only cost time.
        QObject::connect(&controller, &MController::addressChanged, &controller, [&](int addr) {
            if (addr == monitors + 1)
                controller.stopSearch();
        });
        controller.startSearch();
        // Wait until every monitor has been read out and the bus is quiet.
        const bool readOut = QTest::qWaitFor([&] {
            if (controller.monitorCount() < monitors)
                return false;
            for (int i = 0; i < monitors; ++i)
                if (controller.monitorAt(i)->pendingQueries || controller.monitorAt(i)->serialNumber.isEmpty())
                    return false;
            return true;
        }, 120000);
        if (!readOut)
            qFatal("the monitors were not read out");

        // One poll cycle, measured on the line.
        bus.clearTrace();
        QTest::qWait(monitors * 5 * 3 + 200);
        QList<qint64> pollTimes;
        for (const SimTraceEntry &entry : bus.trace())
            if (entry.kind == SimTraceEntry::Request && entry.address == 1 && entry.bytes.size() == 2
                && quint8(entry.bytes.at(1)) == 0x80)
                pollTimes << std::chrono::duration_cast<std::chrono::microseconds>(entry.start.time_since_epoch()).count();
        if (pollTimes.size() >= 2)
            result.cycleMs = (pollTimes.last() - pollTimes.first()) / 1000.0 / (pollTimes.size() - 1);
        result.boundMs = std::max(result.cycleMs, monitors * wireMs(4)) + wireMs(4);
        result.inFlightBoundMs = result.boundMs + wireMs(4);

        QList<double> latencies;
        QRandomGenerator random(12345);
        for (int sample = 0; sample < Samples; ++sample) {
            const quint8 address = quint8(1 + random.bounded(monitors));
            QElapsedTimer timer;
            bool seen = false;
            // An event loop of its own wakes on the signal at once; polling
            // waits would add their own sleeps to the figures.
            QEventLoop loop;
            QMetaObject::Connection watch = QObject::connect(
                &controller, &MController::monitorChanged, &controller, [&](const CMonitor &m) {
                    if (m.address == address && hasAlarm(m) && !seen) {
                        seen = true;
                        latencies << timer.nsecsElapsed() / 1e6;
                        loop.quit();
                    }
                });
            // Start at a random point of the poll cycle.
            QTest::qWait(random.bounded(int(result.cycleMs) + 1));
            QTimer::singleShot(10000, &loop, &QEventLoop::quit);
            timer.start();
            bus.setAlarm(address, 0x08);
            loop.exec();
            if (!seen)
                ++result.missed;
            QObject::disconnect(watch);
            // Clear it again before the next sample.
            bus.setAlarm(address, 0x00);
            if (!QTest::qWaitFor([&] { return !hasAlarm(*controller.monitorAt(address - 1)); }, 10000))
                ++result.missed;
        }
        std::sort(latencies.begin(), latencies.end());
        if (!latencies.isEmpty()) {
            result.medianMs = latencies.at(latencies.size() / 2);
            result.worstMs = latencies.last();
        }
    }
    bus.stop();
    QDir::setCurrent(previous);
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("Alarm latency at %d baud (%d samples each): simulator raises an alarm -> "
                "monitorChanged with hasAlarm true\n", Baud, Samples);
    std::printf("%9s %10s %10s %14s %10s %12s %12s %7s\n", "monitors", "median ms", "worst ms",
                "poll cycle ms", "bound ms", "worst/bound", "+1 poll ms", "missed");
    for (int monitors : {10, 126}) {
        const Result r = measure(monitors);
        std::printf("%9d %10.1f %10.1f %14.1f %10.1f %12.2f %12.1f %7d\n", r.monitors, r.medianMs,
                    r.worstMs, r.cycleMs, r.boundMs, r.boundMs > 0 ? r.worstMs / r.boundMs : 0.0,
                    r.inFlightBoundMs, r.missed);
        std::fflush(stdout);
    }
    return 0;
}
