// The serial device vanishing and coming back, over and over, at 9600 baud
// with twelve monitors polled: how fast the supervisor notices the loss, how
// fast polling works again once the device is back on another node behind
// the same link, what the process costs while it waits, and whether many
// cycles leave anything behind (log lines, monitors, memory).
//
// Timings are measured and set against their targets; the run fails on what
// must hold whatever the load: every cycle noticed and recovered, logged once
// each way, the same monitors at the end, and memory that stays flat.
#include "bench/benchresult.h"
#include "tests/support/residentmemory.h"
#include "tests/support/sanitizerbuild.h"
#include "tests/support/supervisionfixture.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

constexpr int Baud = 9600;
constexpr int Monitors = 12;
constexpr double NoticeTargetMs = 300;
constexpr double ResumeTargetMs = 1500;
constexpr double LostCpuTarget = 0.01; // of one core
constexpr qint64 RssLimitKb = 1024;
// Failures, not targets: a cycle that takes this long has not recovered.
constexpr int NoticeTimeoutMs = 5000;
constexpr int ResumeTimeoutMs = 10000;

struct Options {
    int cycles = 20;
    int lostMinMs = 1000;
    int lostMaxMs = 3000;
    int warmup = 3; // cycles run before the memory baseline is taken
};

struct Figures {
    QList<double> noticeMs;   // vanish -> linkStateChanged(PortLost)
    QList<double> resumeMs;   // reappear -> first monitor out of zombie
    QList<double> wireMs;     // reappear -> end of the first reply on the line
    QList<double> allBackMs;  // reappear -> every monitor out of zombie
    QList<double> lostCpu;    // CPU share of each lost period
    double lostCpuSeconds = 0;
    double lostWallSeconds = 0;
    qint64 rssBaseKb = -1;
    qint64 rssEndKb = -1;
};

// Runs the event loop until done() holds, looking again at each signal of
// the controller that can change it. The loop sleeps in between, so that
// waiting costs this process nothing while its CPU time is measured.
bool waitUntil(MController &controller, const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    const auto check = [&] {
        if (done())
            loop.quit();
    };
    QObject::connect(&controller, &MController::linkStateChanged, &loop, check);
    QObject::connect(&controller, &MController::monitorChanged, &loop, check);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool allPolled(const MController &controller)
{
    if (controller.linkState() != MController::LinkOk)
        return false;
    for (int i = 0; i < controller.monitorCount(); ++i)
        if (controller.monitorAt(i)->state & CMonitor::StateZombie)
            return false;
    return true;
}

// "address:serial number" of each listed monitor, in list order.
QStringList listed(const MController &controller)
{
    QStringList list;
    for (int i = 0; i < controller.monitorCount(); ++i) {
        const CMonitor *m = controller.monitorAt(i);
        list << QStringLiteral("%1:%2").arg(m->address).arg(m->serialNumber);
    }
    return list;
}

void printTiming(const char *name, const QList<double> &values, double targetMs)
{
    const double median = BenchResult::median(values);
    const double worst = BenchResult::percentile(values, 1.0);
    if (targetMs > 0) {
        std::printf("%-44s %9.1f %9.1f %9.0f %12.2f %12.2f  %s\n", name, median, worst, targetMs,
                    median / targetMs, worst / targetMs, worst < targetMs ? "met" : "MISSED");
    } else {
        std::printf("%-44s %9.1f %9.1f\n", name, median, worst);
    }
}

bool check(bool ok, const QString &what)
{
    std::printf("  %-6s %s\n", ok ? "ok" : "FAILED", qPrintable(what));
    return ok;
}

int run(const Options &options)
{
    SupervisionFixture f;
    f.bus.setBaud(Baud);
    const QString link = f.linkBus();
    for (int address = 1; address <= Monitors; ++address)
        f.bus.addMonitor(SupervisionFixture::monitorState(quint8(address)));
    f.writeSettings(QString(), 100);
    f.createController();
    MController &controller = *f.controller;
    if (!f.searchUpTo(Monitors) || controller.monitorCount() != Monitors) {
        std::printf("the search found %d of %d monitors\n", controller.monitorCount(), Monitors);
        return 1;
    }
    const bool readOut = QTest::qWaitFor([&] {
        for (int i = 0; i < controller.monitorCount(); ++i)
            if (controller.monitorAt(i)->pendingQueries || controller.monitorAt(i)->serialNumber.isEmpty())
                return false;
        return true;
    }, 60000);
    if (!readOut) {
        std::printf("the monitors were not read out\n");
        return 1;
    }
    const QStringList before = listed(controller);

    QElapsedTimer clock;
    double lostAt = -1;
    double resumedAt = -1;
    bool armed = false;
    QList<MController::LinkState> linkStates;
    QObject::connect(&controller, &MController::linkStateChanged, &controller,
                     [&](MController::LinkState state) {
                         linkStates << state;
                         if (state == MController::PortLost && lostAt < 0)
                             lostAt = clock.nsecsElapsed() / 1e6;
                     });
    QObject::connect(&controller, &MController::monitorChanged, &controller, [&](const CMonitor &m) {
        if (armed && resumedAt < 0 && !(m.state & CMonitor::StateZombie))
            resumedAt = clock.nsecsElapsed() / 1e6;
    });

    std::printf("Link loss and return at %d baud, %d monitors polled, %d cycles, lost %d-%d ms each\n",
                Baud, Monitors, options.cycles, options.lostMinMs, options.lostMaxMs);
    std::fflush(stdout);

    Figures fig;
    QRandomGenerator random(4242);
    for (int cycle = 1; cycle <= options.cycles; ++cycle) {
        lostAt = -1;
        clock.start();
        if (!f.bus.vanish()) {
            std::printf("cycle %d: the device could not vanish\n", cycle);
            return 1;
        }
        if (!waitUntil(controller, [&] { return lostAt >= 0; }, NoticeTimeoutMs)) {
            std::printf("cycle %d: the loss was not noticed within %d ms\n", cycle, NoticeTimeoutMs);
            return 1;
        }
        fig.noticeMs << lostAt;

        // Lost: from the notice up to the device's return, the worker sleeps
        // between its tries to reopen.
        const int lostMs = options.lostMinMs + int(random.bounded(options.lostMaxMs - options.lostMinMs + 1));
        QElapsedTimer wall;
        wall.start();
        const double cpu = BenchResult::cpuNow();
        idle(lostMs);
        const double cpuUsed = BenchResult::cpuNow() - cpu;
        const double wallUsed = wall.nsecsElapsed() / 1e9;
        fig.lostCpu << cpuUsed / wallUsed;
        fig.lostCpuSeconds += cpuUsed;
        fig.lostWallSeconds += wallUsed;

        f.bus.clearTrace(); // also keeps the trace from growing over the soak
        resumedAt = -1;
        armed = true;
        const auto origin = std::chrono::steady_clock::now();
        clock.start();
        QString error;
        if (!f.bus.reappear(&error, true)) {
            std::printf("cycle %d: the device could not come back: %s\n", cycle, qPrintable(error));
            return 1;
        }
        if (!waitUntil(controller, [&] { return allPolled(controller); }, ResumeTimeoutMs)) {
            std::printf("cycle %d: polling did not resume on every monitor within %d ms (link state %d)\n",
                        cycle, ResumeTimeoutMs, int(controller.linkState()));
            return 1;
        }
        armed = false;
        fig.allBackMs << clock.nsecsElapsed() / 1e6;
        fig.resumeMs << resumedAt;
        for (const SimTraceEntry &entry : f.bus.trace()) {
            if (entry.kind == SimTraceEntry::Reply) {
                fig.wireMs << std::chrono::duration<double, std::milli>(entry.end - origin).count();
                break;
            }
        }
        if (cycle == options.warmup)
            fig.rssBaseKb = residentKb();
    }
    fig.rssEndKb = residentKb();

    std::printf("\n%-44s %9s %9s %9s %12s %12s\n", "", "median ms", "worst ms", "target ms",
                "median/tgt", "worst/tgt");
    printTiming("notice: vanish -> link state PortLost", fig.noticeMs, NoticeTargetMs);
    printTiming("resume: reappear -> first monitor polled", fig.resumeMs, ResumeTargetMs);
    printTiming("  reappear -> first reply on the line", fig.wireMs, 0);
    printTiming("  reappear -> all monitors polled", fig.allBackMs, 0);
    const double lostShare = fig.lostWallSeconds > 0 ? fig.lostCpuSeconds / fig.lostWallSeconds : 0;
    const double worstShare = BenchResult::percentile(fig.lostCpu, 1.0);
    std::printf("CPU while lost: %.3f%% of a core over %.1f s (worst cycle %.3f%%), target <= %.0f%%: "
                "ratio %.2f  %s\n",
                lostShare * 100, fig.lostWallSeconds, worstShare * 100, LostCpuTarget * 100,
                lostShare / LostCpuTarget, lostShare <= LostCpuTarget ? "met" : "MISSED");

    std::printf("\nChecks after %d cycles:\n", options.cycles);
    bool ok = true;

    // Each cycle logs one loss and one return, in that order, and nothing
    // the log cannot parse.
    const QStringList messages = f.logMessages();
    const QStringList linkLines = messages.filter(QStringLiteral(": LINK "));
    const QString lostLine = QStringLiteral("[ERROR]: LINK LOST - PORT(%1)").arg(link);
    const QString restoredStart = QStringLiteral("[MONITOR]: LINK RESTORED - PORT(%1) - DOWN(").arg(link);
    int pairs = 0; // leading lost/restored pairs, up to the first line out of order
    while (2 * pairs + 1 < linkLines.size() && linkLines.at(2 * pairs) == lostLine
           && linkLines.at(2 * pairs + 1).startsWith(restoredStart))
        ++pairs;
    const bool alternating = pairs == options.cycles && linkLines.size() == 2 * options.cycles;
    ok &= check(alternating, QStringLiteral("log: %1 link lines, %2 lost/restored pairs in order (%3 expected)")
                                 .arg(linkLines.size()).arg(pairs).arg(options.cycles));
    const int malformed = messages.filter(QStringLiteral("MALFORMED: ")).size();
    ok &= check(malformed == 0, QStringLiteral("log: %1 malformed lines").arg(malformed));

    QList<MController::LinkState> expectedStates;
    for (int cycle = 0; cycle < options.cycles; ++cycle)
        expectedStates << MController::PortLost << MController::LinkOk;
    ok &= check(linkStates == expectedStates,
                QStringLiteral("link state: %1 changes, each cycle PortLost then LinkOk").arg(linkStates.size()));

    const QStringList after = listed(controller);
    const bool distinct = QSet<QString>(after.begin(), after.end()).size() == after.size();
    ok &= check(after == before && distinct,
                QStringLiteral("monitors: %1 listed, %2, %3 the list before the cycles")
                    .arg(after.size())
                    .arg(distinct ? QStringLiteral("no duplicates") : QStringLiteral("DUPLICATES"))
                    .arg(after == before ? QStringLiteral("same as") : QStringLiteral("NOT")));

    const qint64 growth = fig.rssEndKb - fig.rssBaseKb;
    const bool memoryChecked = !addressSanitized();
    if (!memoryChecked)
        std::printf("  (memory not checked: AddressSanitizer's quarantine grows by design)\n");
    ok &= check(fig.rssBaseKb > 0 && (growth < RssLimitKb || !memoryChecked),
                QStringLiteral("memory: VmRSS %1 kB after cycle %2, %3 kB after cycle %4: %5%6 kB (limit %7 kB)")
                    .arg(fig.rssBaseKb)
                    .arg(options.warmup)
                    .arg(fig.rssEndKb)
                    .arg(options.cycles)
                    .arg(growth >= 0 ? QStringLiteral("+") : QString())
                    .arg(growth)
                    .arg(RssLimitKb));
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Link loss and return cycles against the simulated bus."));
    parser.addHelpOption();
    const QCommandLineOption cyclesOption(QStringLiteral("cycles"), QStringLiteral("Cycles to run (20)."),
                                          QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption lostOption(QStringLiteral("lost"),
                                        QStringLiteral("How long the device stays away, min,max ms (1000,3000)."),
                                        QStringLiteral("min,max"), QStringLiteral("1000,3000"));
    const QCommandLineOption warmupOption(QStringLiteral("warmup"),
                                          QStringLiteral("Cycles before the memory baseline (3)."),
                                          QStringLiteral("n"), QStringLiteral("3"));
    parser.addOptions({cyclesOption, lostOption, warmupOption});
    parser.process(app);

    Options options;
    bool cyclesOk = false, warmupOk = false, minOk = false, maxOk = false;
    options.cycles = parser.value(cyclesOption).toInt(&cyclesOk);
    options.warmup = parser.value(warmupOption).toInt(&warmupOk);
    const QStringList lost = parser.value(lostOption).split(QLatin1Char(','));
    options.lostMinMs = lost.value(0).toInt(&minOk);
    options.lostMaxMs = lost.value(1).toInt(&maxOk);
    // The memory is compared over the cycles after the warm-up, so at least one.
    if (!cyclesOk || !warmupOk || options.warmup < 1 || options.cycles <= options.warmup || lost.size() != 2 || !minOk
        || !maxOk || options.lostMinMs < 0 || options.lostMaxMs < options.lostMinMs) {
        std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
        return 2;
    }
    return run(options);
}
