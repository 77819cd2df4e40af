#include "app/commandline.h"

#include "inventory/inventory.h"
#include "inventory/inventorycomparison.h"
#include "inventory/inventoryfile.h"
#include "service/headlessservice.h"
#include "service/stopsignals.h"
#include "supervision/mcontroller.h"
#include "version.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// Exit codes of the comparison, as diff has them; Trouble is also a usage error.
enum { Same = 0, Different = 1, Trouble = 2 };

// OLD NEW: the differences on stdout, one per line.
int compareInventories(const QStringList &operands, QTextStream &out, QTextStream &err)
{
    Inventory before;
    Inventory after;
    QString error;
    if (!InventoryFile::read(operands.at(0), &before, &error)
        || !InventoryFile::read(operands.at(1), &after, &error)) {
        err << QCoreApplication::applicationName() << ": " << error << Qt::endl;
        return Trouble;
    }
    const QList<InventoryChange> changes = InventoryComparison::compare(before, after);
    for (const QString &line : InventoryComparison::lines(changes))
        out << line << '\n';
    out.flush();
    return changes.isEmpty() ? Same : Different;
}

// Runs until SIGTERM or SIGINT, then ends as the window does on quitting:
// the bus stopped, the log closed, exit code 0.
int runHeadless(const QStringList &, QTextStream &, QTextStream &err)
{
    StopSignals stopSignals;
    if (!stopSignals.isInstalled()) {
        err << QCoreApplication::applicationName() << ": cannot catch SIGTERM and SIGINT" << Qt::endl;
        return Trouble;
    }
    QObject::connect(&stopSignals, &StopSignals::stopRequested, QCoreApplication::instance(), [](int number) {
        qInfo("Stopping on %s.", number == SIGINT ? "SIGINT" : "SIGTERM");
        QCoreApplication::exit(0);
    });
    HeadlessService service;
    qInfo("Event log: %s", qPrintable(service.controller()->logFileName()));
    service.start();
    return QCoreApplication::exec();
}

int printUsage(const QStringList &, QTextStream &out, QTextStream &);
int printVersion(const QStringList &, QTextStream &out, QTextStream &);

struct Command {
    const char *option;
    const char *operands; // as the usage names them
    int operandCount;
    const char *description;
    int (*run)(const QStringList &operands, QTextStream &out, QTextStream &err);
};

const Command commands[] = {
    {"--headless", "", 0,
     "supervise the bus without a window: search at\n"
     "start, poll, log events, take tally input; ends\n"
     "cleanly on SIGTERM or SIGINT",
     runHeadless},
    {"--compare-inventory", "OLD NEW", 2,
     "list what changed between two inventory exports\n"
     "(CSV or JSON); exit code 0 no differences,\n"
     "1 some, 2 trouble",
     compareInventories},
    {"--help", "", 0, "print this text", printUsage},
    {"--version", "", 0, "print the version", printVersion},
};

// Qt's own options, which it also takes with two dashes (--platform); the
// window passes them on.
const char *const qtOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "qwindowstate", "reverse", "session", "style", "stylesheet", "widgetcount",
    "display", "geometry", "title", "name", "visual", "ncols", "cmap", "nograb", "dograb", "sync",
    "qmljsdebugger", "testability", "fn", "font", "bg", "background", "fg", "foreground", "btn",
    "button", "im", "inputstyle",
};

QString programName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

void writeUsage(QTextStream &stream)
{
    const QString name = programName();
    stream << "usage: " << name << " [Qt options such as -platform offscreen]\n";
    for (const Command &command : commands)
        stream << "       " << name << ' ' << command.option
               << (command.operandCount ? " " : "") << command.operands << '\n';
    stream << "\nWithout an option it opens the window. It works in its working directory:\n"
              "mc422.ini, the event logs, alarm.wav.\n\n";
    for (const Command &command : commands) {
        QString head = QString::fromLatin1(command.option);
        if (command.operandCount)
            head += QLatin1Char(' ') + QLatin1String(command.operands);
        const QStringList lines = QString::fromLatin1(command.description).split(QLatin1Char('\n'));
        stream << "  " << head.leftJustified(27) << ' ' << lines.first() << '\n';
        for (const QString &line : lines.mid(1))
            stream << QString(30, QLatin1Char(' ')) << line << '\n';
    }
    stream.flush();
}

int printUsage(const QStringList &, QTextStream &out, QTextStream &)
{
    writeUsage(out);
    return 0;
}

int printVersion(const QStringList &, QTextStream &out, QTextStream &)
{
    out << programName() << ' ' << VersionText << Qt::endl;
    return 0;
}

// Ours nor Qt's: an argument with two dashes whose name (before any "=")
// neither table knows. "--" alone is no option.
bool isUnknownOption(const char *argument)
{
    if (std::strncmp(argument, "--", 2) != 0 || argument[2] == '\0')
        return false;
    for (const Command &command : commands) {
        if (std::strcmp(argument, command.option) == 0)
            return false;
    }
    const char *name = argument + 2;
    const size_t length = std::strcspn(name, "=");
    for (const char *qtOption : qtOptions) {
        if (std::strlen(qtOption) == length && std::strncmp(name, qtOption, length) == 0)
            return false;
    }
    return true;
}

} // namespace

std::optional<int> CommandLine::run(int &argc, char **argv)
{
    const Command *command = nullptr;
    bool unknown = false;
    for (int i = 1; i < argc; ++i) {
        for (const Command &candidate : commands) {
            if (!command && std::strcmp(argv[i], candidate.option) == 0)
                command = &candidate;
        }
        unknown = unknown || isUnknownOption(argv[i]);
    }
    if (!command && !unknown)
        return std::nullopt;

    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Decoded as the system encodes file names, which argv alone is not.
    const QStringList arguments = QCoreApplication::arguments();
    if (unknown) {
        writeUsage(err);
        return Trouble;
    }
    // A command of ours with the wrong operands: its own line of the usage.
    if (arguments.size() != 2 + command->operandCount || arguments.at(1) != QLatin1String(command->option)) {
        err << "usage: " << programName() << ' ' << command->option
            << (command->operandCount ? " " : "") << command->operands << Qt::endl;
        return Trouble;
    }
    return command->run(arguments.mid(2), out, err);
}
