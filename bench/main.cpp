// kc-bench-transport: how close the transport's worker comes to the floor a
// bare termios loop reaches on the same simulated bus, and to the wire-time
// limit of a paced line (4 bytes of 10 bits per status poll).
#include "bench/bareloop.h"
#include "bench/benchresult.h"
#include "bench/simprocess.h"
#include "bench/workerrun.h"
#include "transport/serialsettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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
    std::printf("%-8s %-7s %4d  %9.1f  %7.2f%%  %8.3f  %8.3f  %s  %s  %d\n",
                qPrintable(line), qPrintable(row.loop), row.monitors, r.exchangesPerSecond(),
                100.0 * r.cpuShare(), r.medianMs(), r.p99Ms(), qPrintable(vsBare), qPrintable(vsWire),
                r.failures);
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
    parser.addOption(durationOption);
    parser.addOption(runsOption);
    parser.addOption(simOption);
    parser.process(app);

    const int durationMs = qBound(200, parser.value(durationOption).toInt(), 60000);
    const int runs = qBound(1, parser.value(runsOption).toInt(), 15);
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
                "status poll to the next. CPU: this process only (the simulator runs apart).\n\n",
                runs, durationMs);
    std::printf("%-8s %-7s %4s  %9s  %8s  %8s  %8s  %7s  %7s  %s\n", "line", "loop", "mons", "exch/s",
                "CPU", "med ms", "p99 ms", "vs bare", "vs wire", "failed");

    const QList<quint8> bareAddresses = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    bool allOk = true;
    for (int baud : {0, 9600, 115200}) {
        SimProcess sim;
        QString error;
        if (!sim.start(simPath, baud, &error) || !sim.command(QStringLiteral("add 1-126"))) {
            std::fprintf(stderr, "kc-bench-transport: simulator: %s\n", qPrintable(error));
            return 1;
        }
        SerialSettings settings;
        settings.port = sim.devicePath();
        settings.baudRateIndex = baudIndexFor(baud);
        settings.totalTimeout = 500;
        settings.write();

        // Bare and worker runs take turns, so that a change in the machine's
        // load during the measurement hits both alike.
        const QList<int> monitorCounts = {1, 10, 126};
        QList<BenchResult> bareRuns;
        QList<QList<BenchResult>> workerRuns(monitorCounts.size());
        for (int i = 0; i < runs; ++i) {
            BenchResult r;
            if (!BareLoop::run(sim.devicePath(), bareAddresses, durationMs, &r)) {
                std::fprintf(stderr, "kc-bench-transport: cannot open %s\n", qPrintable(sim.devicePath()));
                return 1;
            }
            bareRuns << r;
            for (int m = 0; m < monitorCounts.size(); ++m) {
                if (!WorkerRun::run(monitorCounts[m], durationMs, &r)) {
                    std::fprintf(stderr, "kc-bench-transport: the bus did not start\n");
                    return 1;
                }
                workerRuns[m] << r;
            }
        }
        const BenchResult bare = BenchResult::medianOf(bareRuns);
        printRow({baud, QStringLiteral("bare"), int(bareAddresses.size()), bare, 0});
        for (int m = 0; m < monitorCounts.size(); ++m) {
            const BenchResult worker = BenchResult::medianOf(workerRuns[m]);
            printRow({baud, QStringLiteral("worker"), monitorCounts[m], worker, bare.exchangesPerSecond()});
            allOk = allOk && worker.failures == 0;
        }
        sim.stop();
    }
    std::printf("\nWire limit: 240 polls/s at 9600 baud, 2880 polls/s at 115200 baud.\n");
    return allOk ? 0 : 2;
}
