#ifndef INVENTORYCSV_H
#define INVENTORYCSV_H

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

class Inventory;

// An inventory as CSV (RFC 4180: UTF-8, CRLF, fields quoted where they hold
// a comma, a quote or a line break). One row per monitor under a header of
// field names; the time stamp, port and program version repeat on every row
// so that any row, sorted or filtered in a spreadsheet, still says where and
// when it was taken. An inventory without monitors keeps them in one row
// whose address and other monitor fields are empty.
//
// The header is the format's mark: a file whose first row differs is not an
// inventory.
class InventoryCsv
{
    Q_DECLARE_TR_FUNCTIONS(InventoryCsv)

public:
    static const QStringList header;

    static QByteArray write(const Inventory &inventory);
    // Fills *inventory, monitors in address order, from a whole file's
    // contents; false, saying what is wrong and where in *error, for
    // anything that is not a complete inventory.
    static bool read(const QByteArray &data, Inventory *inventory, QString *error);

};

#endif // INVENTORYCSV_H
