#ifndef INVENTORYJSON_H
#define INVENTORYJSON_H

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

class Inventory;

// An inventory as JSON: an object marked "format": "kelvaro-inventory" with
// its format "version", "exported", "port", "application" and "monitors",
// one object per monitor in address order. Figures not known yet are null.
class InventoryJson
{
    Q_DECLARE_TR_FUNCTIONS(InventoryJson)

public:
    static const QString formatMark;
    // What this program writes; files of a later version are refused.
    static constexpr int FormatVersion = 1;

    static QByteArray write(const Inventory &inventory);
    // Fills *inventory, monitors in address order; false, saying what is
    // wrong and where in *error, for anything that is not an inventory.
    static bool read(const QByteArray &data, Inventory *inventory, QString *error);
};

#endif // INVENTORYJSON_H
