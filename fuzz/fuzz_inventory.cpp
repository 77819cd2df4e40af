// Inventory files: any bytes, read as CSV and as JSON, are either refused
// with a reason or give an inventory a reader may trust (bus addresses, each
// once, in order) that is written and read back unchanged.
#include "inventory/inventory.h"
#include "inventory/inventorycsv.h"
#include "inventory/inventoryjson.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

template<typename Format>
void readAndRewrite(const QByteArray &data)
{
    Inventory inv;
    QString error;
    if (!Format::read(data, &inv, &error)) {
        check(!error.isEmpty());
        return;
    }
    check(inv.checkAddresses().isEmpty());
    for (qsizetype i = 1; i < inv.monitors.size(); ++i)
        check(inv.monitors.at(i - 1).address < inv.monitors.at(i).address);
    Inventory again;
    check(Format::read(Format::write(inv), &again, &error));
    // Time stamps keep the instant to the millisecond, which is all a file holds.
    check(again.monitors == inv.monitors && again.port == inv.port);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    readAndRewrite<InventoryCsv>(bytes);
    readAndRewrite<InventoryJson>(bytes);
    return 0;
}
