// kc-bench-transport: how close the transport's worker comes to the floor a
// bare termios loop reaches on the same simulated bus (the same monitors,
// polled in the same order), and to the wire-time limit of a paced line (4
// bytes of 10 bits per status poll). The simulator's own pacing is reported
// beside it, since no loop can beat the line it talks to.
#include "bench/bareloop.h"
#include "bench/benchresult.h"
#include "bench/simprocess.h"
#include "bench/workerrun.h"
#include "transport/serialsettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Row {
    int baud;
    QString loop;
    int monitors;
    BenchResult result;
    double bareRate; // the bare loop's rate on the same line, 0 for the bare row itself
};

// The stored baud-rate index for a rate, so the port is set up as an
// operator would set it; an unpaced line keeps the default.
int baudIndexFor(int baud)
{
    for (int i = 0; i < int(SerialSettings::baudRates.size()); ++i) {
        if (SerialSettings::baudRates[size_t(i)] == baud)
            return i;
    }
    return SerialSettings::DefaultBaudRateIndex;
}

double wireLimit(int baud)
{
    return baud > 0 ? baud / 40.0 : 0;
}

void printRow(const Row &row)
{
    const BenchResult &r = row.result;
    const QString line = row.baud ? QString::number(row.baud) : QStringLiteral("unpaced");
    const QString vsBare = row.bareRate > 0 ? QString::asprintf("%6.1f%%", 100.0 * r.exchangesPerSecond() / row.bareRate)
                                            : QStringLiteral("      -");
    const QString vsWire = row.baud > 0 ? QString::asprintf("%6.1f%%", 100.0 * r.exchangesPerSecond() / wireLimit(row.baud))
                                        : QStringLiteral("      -");
    const QString receiverUs = row.bareRate > 0 ? QString::asprintf("%7.1f", r.receiverUsPerExchange())
                                                : QStringLiteral("      -");
    std::printf("%-8s %-7s %4d  %9.1f  %7.2f%%  %7.1f  %s  %8.3f  %8.3f  %s  %s  %d\n",
                qPrintable(line), qPrintable(row.loop), row.monitors, r.exchangesPerSecond(),
                100.0 * r.cpuShare(), r.loopUsPerExchange(), qPrintable(receiverUs), r.medianMs(),
                r.p99Ms(), qPrintable(vsBare), qPrintable(vsWire), r.failures);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Transport throughput against the simulated bus."));
    parser.addHelpOption();
    QCommandLineOption durationOption(QStringLiteral("duration"),
                                      QStringLiteral("Length of one timed run in ms (default 1500)."),
                                      QStringLiteral("ms"), QStringLiteral("1500"));
    QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Runs per figure (default 3)."),
                                  QStringLiteral("n"), QStringLiteral("3"));
    QCommandLineOption simOption(QStringLiteral("sim"),
                                 QStringLiteral("The simulator (default: kelvaro-sim next to this program)."),
                                 QStringLiteral("path"));
    QCommandLineOption linesOption(QStringLiteral("lines"),
                                   QStringLiteral("Line speeds to measure, 0 for unpaced (default 0,9600,115200)."),
                                   QStringLiteral("list"), QStringLiteral("0,9600,115200"));
    parser.addOption(linesOption);
    parser.addOption(durationOption);
    parser.addOption(runsOption);
    parser.addOption(simOption);
    parser.process(app);

    const int durationMs = qBound(200, parser.value(durationOption).toInt(), 60000);
    const int runs = qBound(1, parser.value(runsOption).toInt(), 15);
    QList<int> lines;
    for (const QString &word : parser.value(linesOption).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int baud = word.toInt(&ok);
        if (!ok || baud < 0) {
            std::fprintf(stderr, "kc-bench-transport: bad line speed '%s'\n", qPrintable(word));
            return 1;
        }
        lines << baud;
    }
    QString simPath = parser.value(simOption);
    if (simPath.isEmpty())
        simPath = QCoreApplication::applicationDirPath() + QStringLiteral("/kelvaro-sim");
    if (!QFileInfo(simPath).isExecutable()) {
        std::fprintf(stderr, "kc-bench-transport: simulator %s not found\n", qPrintable(simPath));
        return 1;
    }

    // The transport reads its settings from the working directory.
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "kc-bench-transport: no working directory\n");
        return 1;
    }

    std::printf("Each figure is the median of %d runs of %d ms. Exchange time: from one completed\n"
                "status poll to the next. CPU: this process only (the simulator runs apart); loop\n"
                "and recv: CPU microseconds per exchange of the polling thread (bare loop or worker)\n"
                "and of the main thread taking the finished commands. vs bare: against the bare\n"
                "loop polling the same monitors.\n\n",
                runs, durationMs);
    std::printf("%-8s %-7s %4s  %9s  %8s  %7s  %7s  %8s  %8s  %7s  %7s  %s\n", "line", "loop", "mons", "exch/s",
                "CPU", "loop us", "recv us", "med ms", "p99 ms", "vs bare", "vs wire", "failed");

    bool allOk = true;
    QStringList pacing;
    // One bus for every line speed: the monitors have reported what new
    // monitors report once, before any figure is taken.
    SimProcess sim;
    QString error;
    if (!sim.start(simPath, 0, &error) || !sim.command(QStringLiteral("add 1-126"))) {
        std::fprintf(stderr, "kc-bench-transport: simulator: %s\n", qPrintable(error));
        return 1;
    }
    SerialSettings settings;
    settings.port = sim.devicePath();
    settings.totalTimeout = 500;
    settings.write();
    if (!WorkerRun::settle(126, 30000)) {
        std::fprintf(stderr, "kc-bench-transport: the monitors did not settle\n");
        return 1;
    }
    for (int baud : std::as_const(lines)) {
        if (!sim.command(QStringLiteral("baud %1").arg(baud))) {
            std::fprintf(stderr, "kc-bench-transport: the simulator took no command\n");
            return 1;
        }
        settings.baudRateIndex = baudIndexFor(baud);
        settings.write();

        // Bare and worker runs take turns, each with the same monitors, so
        // that a change in the machine's load during the measurement hits
        // both alike.
        const QList<int> monitorCounts = {1, 10, 126};
        QList<QList<BenchResult>> bareRuns(monitorCounts.size());
        QList<QList<BenchResult>> workerRuns(monitorCounts.size());
        sim.query(QStringLiteral("pacing"), QStringLiteral("pacing")); // from here on
        for (int i = 0; i < runs; ++i) {
            for (int m = 0; m < monitorCounts.size(); ++m) {
                QList<quint8> addresses;
                for (int a = 1; a <= monitorCounts[m]; ++a)
                    addresses << quint8(a);
                BenchResult r;
                if (!BareLoop::run(sim.devicePath(), addresses, durationMs, &r)) {
                    std::fprintf(stderr, "kc-bench-transport: cannot open %s\n", qPrintable(sim.devicePath()));
                    return 1;
                }
                bareRuns[m] << r;
                if (!WorkerRun::run(monitorCounts[m], durationMs, &r)) {
                    std::fprintf(stderr, "kc-bench-transport: the bus did not start\n");
                    return 1;
                }
                workerRuns[m] << r;
            }
        }
        for (int m = 0; m < monitorCounts.size(); ++m) {
            const BenchResult bare = BenchResult::medianOf(bareRuns[m]);
            const BenchResult worker = BenchResult::medianOf(workerRuns[m]);
            printRow({baud, QStringLiteral("bare"), monitorCounts[m], bare, 0});
            printRow({baud, QStringLiteral("worker"), monitorCounts[m], worker, bare.exchangesPerSecond()});
            allOk = allOk && worker.failures == 0 && bare.failures == 0;
        }
        const QString report = sim.query(QStringLiteral("pacing"), QStringLiteral("pacing"));
        pacing << (report.isEmpty() ? QStringLiteral("pacing baud=%1: no report").arg(baud) : report);
    }
    sim.stop();
    std::printf("\nWire limit: 240 polls/s at 9600 baud, 2880 polls/s at 115200 baud.\n"
                "The simulator's own pacing over all runs of each line: how late it handed over\n"
                "each reply byte against its wire-time deadline (us), the rate of back-to-back\n"
                "reply bytes against the set speed (every stall of its thread counts), and the gap\n"
                "between the bytes of a reply against the byte time (us):\n");
    for (const QString &line : std::as_const(pacing))
        std::printf("  %s\n", qPrintable(line));
    return allOk ? 0 : 2;
}
