#include "inventory/inventoryfile.h"

#include "inventory/inventory.h"
#include "inventory/inventorycsv.h"
#include "inventory/inventoryjson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString named(const QString &fileName, const QString &problem)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(fileName), problem);
}

} // namespace

InventoryFile::Format InventoryFile::formatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return Csv;
    if (suffix == QLatin1String("json"))
        return Json;
    return UnknownFormat;
}

bool InventoryFile::write(const QString &fileName, const Inventory &inventory, QString *error)
{
    const Format format = formatOf(fileName);
    if (format == UnknownFormat) {
        *error = named(fileName, tr("an inventory is written as .csv or .json"));
        return false;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = named(fileName, file.errorString());
        return false;
    }
    const QByteArray data =
        format == Csv ? InventoryCsv::write(inventory) : InventoryJson::write(inventory);
    if (file.write(data) != data.size() || !file.commit()) {
        *error = named(fileName, file.errorString());
        return false;
    }
    return true;
}

bool InventoryFile::read(const QString &fileName, Inventory *inventory, QString *error)
{
    const Format format = formatOf(fileName);
    if (format == UnknownFormat) {
        *error = named(fileName, tr("not an inventory: the name does not end in .csv or .json"));
        return false;
    }
    const QFileInfo info(fileName);
    if (info.isDir()) {
        *error = named(fileName, tr("a folder, not an inventory"));
        return false;
    }
    const QString tooLarge = tr("larger than %1 MiB, not an inventory").arg(MaxSize / (1024 * 1024));
    if (info.size() > MaxSize) {
        *error = named(fileName, tooLarge);
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = named(fileName, file.errorString());
        return false;
    }
    // One byte past the limit: a device or a pipe has no size to check first.
    const QByteArray data = file.read(MaxSize + 1);
    if (data.size() > MaxSize) {
        *error = named(fileName, tooLarge);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = named(fileName, file.errorString());
        return false;
    }
    if (data.isEmpty()) {
        *error = named(fileName, tr("empty, not an inventory"));
        return false;
    }
    Inventory result;
    QString problem;
    const bool ok = format == Csv ? InventoryCsv::read(data, &result, &problem)
                                  : InventoryJson::read(data, &result, &problem);
    if (!ok) {
        *error = named(fileName, problem);
        return false;
    }
    *inventory = result;
    return true;
}
