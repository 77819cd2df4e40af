#ifndef INVENTORYCHANGE_H
#define INVENTORYCHANGE_H

#include <QString>

// One difference between an earlier inventory and a later one, as one line
// of text for people and scripts alike:
//
//   - 9 KV0009 gone
//   + 12 KV0012 new
//   ~ 7 KV0003 moved from 3
//   ~ 5 KV0005 firmware upgraded 1.20 -> 1.30
//   ~ 5 KV0005 firmware downgraded 1.30 -> 1.20
//   ~ 6 KV0006 firmware changed 1.2 -> 1.2.0   (written apart, equal in value)
//
// The sign, the address (where the monitor is now; where it was for one
// gone), the serial number, then what changed. A serial number or version
// that is empty or holds blanks, quotes or control characters is quoted
// with C escapes ("", "SN 1"), so a line always splits the same way.
class InventoryChange
{
public:
    // Also the order of changes at one address.
    enum Kind { Gone, New, Moved, Upgraded, Downgraded, FirmwareChanged };

    Kind kind = Gone;
    int address = 0;
    int oldAddress = 0; // Moved: where it was
    QString serialNumber;
    QString oldFirmware; // the firmware kinds: before and after
    QString newFirmware;

    QString text() const;
    // By address, then kind, then serial number: the order of the lines.
    bool operator<(const InventoryChange &other) const;
    bool operator==(const InventoryChange &other) const;
};

#endif // INVENTORYCHANGE_H
