#ifndef INVENTORYFILE_H
#define INVENTORYFILE_H

#include <QCoreApplication>
#include <QString>

class Inventory;

// Inventory files, CSV or JSON as the name's suffix says (.csv, .json, in
// any case). Every message names the file and what is wrong with it.
class InventoryFile
{
    Q_DECLARE_TR_FUNCTIONS(InventoryFile)

public:
    enum Format { UnknownFormat, Csv, Json };

    // Larger files are not read: no inventory of 126 monitors comes near.
    static constexpr qint64 MaxSize = 16 * 1024 * 1024;

    static Format formatOf(const QString &fileName);

    // Writes all or nothing (a file already there stays as it was on
    // failure). False with *error on failure.
    static bool write(const QString &fileName, const Inventory &inventory, QString *error);
    // Fills *inventory from the file; false with *error, leaving *inventory
    // as it was, when the file cannot be read or is not a whole inventory.
    static bool read(const QString &fileName, Inventory *inventory, QString *error);
};

#endif // INVENTORYFILE_H
