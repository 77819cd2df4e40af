#ifndef INVENTORYCOMPARISON_H
#define INVENTORYCOMPARISON_H

#include "inventory/inventorychange.h"

#include <QList>
#include <QStringList>

class Inventory;

// What changed on the bus between two inventories.
//
// A monitor is known by its serial number wherever it sits: the same serial
// at the same address is the same monitor, then the same serial at another
// address is the same monitor moved there. A monitor whose serial number is
// empty (not read yet) is matched by its address alone. Whatever is left
// over is gone or new: another serial number at an address is reported as
// the one monitor gone and the other new, both on that address, since the
// two are different devices that may each turn up elsewhere later.
class InventoryComparison
{
public:
    // In the order of InventoryChange::operator<, by address first.
    static QList<InventoryChange> compare(const Inventory &before, const Inventory &after);
    static QStringList lines(const QList<InventoryChange> &changes);

    // Dotted versions part by part, numerically where both parts are
    // numbers ("1.10.05" is after "1.9.05"), else as text; a missing part
    // counts as 0. Negative, 0 or positive as a is before, equal to or
    // after b.
    static int compareVersions(const QString &a, const QString &b);
};

#endif // INVENTORYCOMPARISON_H
