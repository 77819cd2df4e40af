#include "app/commandline.h"

#include "inventory/inventory.h"
#include "inventory/inventorycomparison.h"
#include "inventory/inventoryfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <cstring>

namespace {

// Exit codes of the comparison, as diff has them.
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

struct Command {
    const char *option;
    const char *operands; // as the usage names them
    int operandCount;
    int (*run)(const QStringList &operands, QTextStream &out, QTextStream &err);
};

const Command commands[] = {
    {"--compare-inventory", "OLD NEW", 2, compareInventories},
};

} // namespace

std::optional<int> CommandLine::run(int &argc, char **argv)
{
    const Command *command = nullptr;
    for (int i = 1; i < argc && !command; ++i) {
        for (const Command &candidate : commands) {
            if (std::strcmp(argv[i], candidate.option) == 0)
                command = &candidate;
        }
    }
    if (!command)
        return std::nullopt;

    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Decoded as the system encodes file names, which argv alone is not.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2 + command->operandCount
        || arguments.at(1) != QLatin1String(command->option)) {
        err << "usage: " << QFileInfo(arguments.value(0)).fileName() << ' '
            << command->option << ' ' << command->operands << Qt::endl;
        return Trouble;
    }
    return command->run(arguments.mid(2), out, err);
}
