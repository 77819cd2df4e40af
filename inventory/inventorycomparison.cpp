#include "inventory/inventorycomparison.h"

#include "inventory/inventory.h"

#include <algorithm>

namespace {

// Where each monitor of `before` went in `after`: an index, or -1.
QList<int> match(const QList<InventoryEntry> &before, const QList<InventoryEntry> &after)
{
    QList<int> to(before.size(), -1);
    QList<bool> taken(after.size(), false);
    const auto pair = [&](auto rule) {
        for (qsizetype a = 0; a < after.size(); ++a) {
            for (qsizetype b = 0; b < before.size() && !taken.at(a); ++b) {
                if (to.at(b) < 0 && rule(before.at(b), after.at(a))) {
                    to[b] = int(a);
                    taken[a] = true;
                }
            }
        }
    };
    // Staying put first, so that a serial number that occurs twice (a
    // misconfigured bus) moves only where it must.
    pair([](const InventoryEntry &b, const InventoryEntry &a) {
        return !b.serialNumber.isEmpty() && b.serialNumber == a.serialNumber && b.address == a.address;
    });
    pair([](const InventoryEntry &b, const InventoryEntry &a) {
        return !b.serialNumber.isEmpty() && b.serialNumber == a.serialNumber;
    });
    // A serial number not read yet says nothing against the address.
    pair([](const InventoryEntry &b, const InventoryEntry &a) {
        return b.address == a.address && (b.serialNumber.isEmpty() || a.serialNumber.isEmpty());
    });
    return to;
}

} // namespace

QList<InventoryChange> InventoryComparison::compare(const Inventory &before, const Inventory &after)
{
    Inventory old = before;
    Inventory now = after;
    old.sortByAddress();
    now.sortByAddress();
    const QList<int> to = match(old.monitors, now.monitors);

    QList<InventoryChange> changes;
    QList<bool> found(now.monitors.size(), false);
    for (qsizetype b = 0; b < old.monitors.size(); ++b) {
        const InventoryEntry &was = old.monitors.at(b);
        InventoryChange change;
        if (to.at(b) < 0) {
            change.kind = InventoryChange::Gone;
            change.address = was.address;
            change.serialNumber = was.serialNumber;
            changes << change;
            continue;
        }
        found[to.at(b)] = true;
        const InventoryEntry &is = now.monitors.at(to.at(b));
        change.address = is.address;
        change.serialNumber = is.serialNumber.isEmpty() ? was.serialNumber : is.serialNumber;
        if (is.address != was.address) {
            change.kind = InventoryChange::Moved;
            change.oldAddress = was.address;
            changes << change;
            change.oldAddress = 0;
        }
        // A version not read yet on either side is no change.
        if (!was.firmware.isEmpty() && !is.firmware.isEmpty() && was.firmware != is.firmware) {
            const int order = compareVersions(was.firmware, is.firmware);
            change.kind = order < 0 ? InventoryChange::Upgraded
                : order > 0         ? InventoryChange::Downgraded
                                    : InventoryChange::FirmwareChanged;
            change.oldFirmware = was.firmware;
            change.newFirmware = is.firmware;
            changes << change;
        }
    }
    for (qsizetype a = 0; a < now.monitors.size(); ++a) {
        if (found.at(a))
            continue;
        InventoryChange change;
        change.kind = InventoryChange::New;
        change.address = now.monitors.at(a).address;
        change.serialNumber = now.monitors.at(a).serialNumber;
        changes << change;
    }
    std::stable_sort(changes.begin(), changes.end());
    return changes;
}

QStringList InventoryComparison::lines(const QList<InventoryChange> &changes)
{
    QStringList out;
    for (const InventoryChange &change : changes)
        out << change.text();
    return out;
}

int InventoryComparison::compareVersions(const QString &a, const QString &b)
{
    const QStringList x = a.trimmed().split(QLatin1Char('.'));
    const QStringList y = b.trimmed().split(QLatin1Char('.'));
    for (qsizetype i = 0; i < qMax(x.size(), y.size()); ++i) {
        const QString p = i < x.size() ? x.at(i) : QStringLiteral("0");
        const QString q = i < y.size() ? y.at(i) : QStringLiteral("0");
        bool pNumber = false;
        bool qNumber = false;
        const qulonglong m = p.toULongLong(&pNumber);
        const qulonglong n = q.toULongLong(&qNumber);
        if (pNumber && qNumber) {
            if (m != n)
                return m < n ? -1 : 1;
        } else if (const int order = p.compare(q)) {
            return order < 0 ? -1 : 1;
        }
    }
    return 0;
}
