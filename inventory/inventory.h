#ifndef INVENTORY_H
#define INVENTORY_H

#include "inventory/inventoryentry.h"

#include <QDateTime>
#include <QList>
#include <QString>

// What was on the bus at one moment: when, on which port, by which version
// of this program, and every monitor by address.
class Inventory
{
public:
    // The bus's addresses; a file naming another is not ours.
    static constexpr int FirstAddress = 1;
    static constexpr int LastAddress = 126;

    bool operator==(const Inventory &other) const;
    bool operator!=(const Inventory &other) const { return !(*this == other); }

    // Puts the monitors in address order, the order of every file written.
    void sortByAddress();
    // Empty when every address is on the bus and none occurs twice, else
    // what is wrong, naming the first offending address.
    QString checkAddresses() const;

    QDateTime exported;
    QString port;
    QString application; // the exporting program's version
    QList<InventoryEntry> monitors;
};

#endif // INVENTORY_H
