// kelvaro-sim: a bus of simulated monitors on a pseudo-terminal, for trying
// the controller, training and reproducing field problems without hardware.

#include "tools/sim/simbus.h"
#include "tools/sim/simcommand.h"
#include "tools/sim/simdemo.h"
#include "tools/sim/simscenario.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>

namespace {

struct Options {
    QString link;
    QString scenario;
    int baud = 0;
    int turnaroundMs = 0;
    bool trace = false;
    bool demo = false;
    bool empty = false;
};

const char Usage[] =
    "usage: kelvaro-sim [--link PATH] [--baud N] [--turnaround MS] [--scenario FILE]\n"
    "                   [--trace] [--demo|--empty]\n"
    "Prints the device path as its first line, then reads commands on stdin\n"
    "('help' lists them). Without --scenario or --empty it plays the demo bus.\n";

void printErr(const QString &text)
{
    const QByteArray bytes = (QStringLiteral("kelvaro-sim: ") + text + QLatin1Char('\n')).toLocal8Bit();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    fflush(stderr);
}

void printOut(const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    fflush(stdout);
}

std::optional<Options> parseArguments(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= argc) {
                printErr(QStringLiteral("%1 needs a value").arg(arg));
                return std::nullopt;
            }
            return QString::fromLocal8Bit(argv[++i]);
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            fputs(Usage, stdout);
            exit(0);
        } else if (arg == QLatin1String("--link")) {
            const auto v = value();
            if (!v || v->isEmpty())
                return std::nullopt;
            o.link = *v;
        } else if (arg == QLatin1String("--scenario")) {
            const auto v = value();
            if (!v)
                return std::nullopt;
            o.scenario = *v;
        } else if (arg == QLatin1String("--baud")) {
            const auto v = value();
            const std::optional<qint64> n = v ? SimCommand::parseNumber(*v) : std::nullopt;
            if (!n || *n < 0 || *n > 4000000 || (*n > 0 && *n < 50)) {
                printErr(QStringLiteral("bad baud rate '%1' (0 for no pacing, or 50 to 4000000)")
                             .arg(v.value_or(QString())));
                return std::nullopt;
            }
            o.baud = int(*n);
        } else if (arg == QLatin1String("--turnaround")) {
            const auto v = value();
            const std::optional<int> ms = v ? SimCommand::parseDurationMs(*v, false) : std::nullopt;
            if (!ms || *ms > 10000) {
                printErr(QStringLiteral("bad turnaround '%1' (0 to 10000 ms)").arg(v.value_or(QString())));
                return std::nullopt;
            }
            o.turnaroundMs = *ms;
        } else if (arg == QLatin1String("--trace")) {
            o.trace = true;
        } else if (arg == QLatin1String("--demo")) {
            o.demo = true;
        } else if (arg == QLatin1String("--empty")) {
            o.empty = true;
        } else {
            printErr(QStringLiteral("unknown argument '%1'").arg(arg));
            return std::nullopt;
        }
    }
    if (o.demo && o.empty) {
        printErr(QStringLiteral("--demo and --empty exclude each other"));
        return std::nullopt;
    }
    if (!o.empty && o.scenario.isEmpty())
        o.demo = true;
    return o;
}

// Reads command lines from stdin until told to stop. The end of stdin ends
// only the reading: the bus keeps running for the controller.
void readCommands(SimBus &bus, int stopFd)
{
    QByteArray pending;
    int lineNumber = 0;
    auto runLine = [&](const QByteArray &raw) {
        ++lineNumber;
        const QString line = QString::fromUtf8(raw).trimmed();
        QString reason;
        if (!bus.command(line, &reason))
            printErr(SimScenario::report(QStringLiteral("stdin"), lineNumber, line, reason));
    };
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (fds[0].revents & POLLNVAL)
            return; // no stdin at all
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            if (!pending.isEmpty())
                runLine(pending);
            return;
        }
        pending.append(buffer, int(n));
        int newline;
        while ((newline = pending.indexOf('\n')) >= 0) {
            runLine(pending.left(newline));
            pending.remove(0, newline + 1);
        }
        if (pending.size() > 65536) {
            ++lineNumber;
            printErr(QStringLiteral("stdin:%1: line longer than 64 KiB, dropped").arg(lineNumber));
            pending.clear();
        }
    }
}

// Started with stdin, stdout or stderr closed, the descriptors opened below
// would take their numbers and be read or written as if they were those.
void keepStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
            if (null >= 0 && null != fd) {
                dup2(null, fd);
                ::close(null);
            }
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    keepStandardDescriptors();
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        fputs(Usage, stderr);
        return 2;
    }

    // Signals are taken from a descriptor by the main thread; every thread
    // started from here on inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // Started in the background of an interactive shell, reading the terminal
    // must fail instead of stopping the whole simulator.
    signal(SIGTTIN, SIG_IGN);
    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    const int quitFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int stopReaderFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (signalFd < 0 || quitFd < 0 || stopReaderFd < 0) {
        printErr(QStringLiteral("cannot set up signal handling"));
        return 1;
    }
    auto poke = [](int fd) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
    };

    SimBus bus;
    bus.setMessageHandler(printOut);
    bus.setQuitHandler([&] { poke(quitFd); });
    bus.setBaud(options->baud);
    bus.setTurnaround(options->turnaroundMs);
    bus.setTraceOutput(options->trace);

    SimScenario scenario;
    if (!options->scenario.isEmpty()) {
        QString error;
        if (!scenario.load(options->scenario, &error)) {
            printErr(error);
            return 2;
        }
        for (const QString &e : scenario.errors())
            printErr(e);
    }

    // The demo monitors exist before the device does, so a controller never
    // sees a half-built bus.
    if (options->demo) {
        SimScenario demo;
        demo.setText(QStringLiteral("demo"), SimDemo::script());
        demo.play(bus, printErr);
    }

    QString error;
    if (!bus.start(&error)) {
        printErr(QStringLiteral("cannot create the pseudo-terminal: %1").arg(error));
        return 1;
    }
    printOut(bus.devicePath());
    if (!options->link.isEmpty() && !bus.setLinkPath(options->link, &error)) {
        printErr(error);
        bus.stop();
        return 1;
    }

    std::thread scenarioThread([&] { scenario.play(bus, printErr); });
    std::thread readerThread([&] { readCommands(bus, stopReaderFd); });

    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {quitFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno == EINTR)
            continue;
        if (fds[0].revents || fds[1].revents)
            break;
    }

    scenario.cancel();
    poke(stopReaderFd);
    // A scenario line may itself have been "quit": it returns at once, as
    // the quit handler only pokes the descriptor.
    scenarioThread.join();
    readerThread.join();
    bus.stop();
    return 0;
}
