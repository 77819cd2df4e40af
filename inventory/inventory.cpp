#include "inventory/inventory.h"

#include <QCoreApplication>

#include <algorithm>
#include <bitset>

bool Inventory::operator==(const Inventory &other) const
{
    return exported == other.exported && port == other.port && application == other.application
        && monitors == other.monitors;
}

void Inventory::sortByAddress()
{
    std::stable_sort(monitors.begin(), monitors.end(),
                     [](const InventoryEntry &a, const InventoryEntry &b) { return a.address < b.address; });
}

QString Inventory::checkAddresses() const
{
    std::bitset<LastAddress + 1> seen;
    for (const InventoryEntry &e : monitors) {
        if (e.address < FirstAddress || e.address > LastAddress)
            return QCoreApplication::translate("Inventory", "address %1 is not a bus address (%2 to %3)")
                .arg(e.address).arg(FirstAddress).arg(LastAddress);
        if (seen.test(size_t(e.address)))
            return QCoreApplication::translate("Inventory", "address %1 occurs twice").arg(e.address);
        seen.set(size_t(e.address));
    }
    return QString();
}
