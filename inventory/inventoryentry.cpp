#include "inventory/inventoryentry.h"

#include "monitor/cmonitor.h"

namespace {

QString codeName(QString name, int code)
{
    return name.isNull() ? QString::number(code) : name;
}

} // namespace

InventoryEntry InventoryEntry::fromMonitor(const CMonitor &m, const QString &state, const QDateTime &now)
{
    InventoryEntry e;
    e.address = m.address;
    e.serialNumber = m.serialNumber;
    e.firmware = m.version;
    // Complete pairs only: until the item has been fetched the record holds fewer bytes.
    for (int i = 0; i + 1 < m.boardVersions.size(); i += 2)
        e.boardVersions << CMonitor::versionText(quint8(m.boardVersions.at(i)),
                                                 quint8(m.boardVersions.at(i + 1)));
    // As the table shows them, also while a changed item is fetched again.
    e.input = codeName(inputName(m.input), m.input);
    e.mode = codeName(modeName(m.mode), m.mode);
    e.state = state;
    const BusHealth &h = m.health;
    e.lastGoodReply = h.lastGoodReply();
    e.medianExchangeUs = h.medianExchangeUs();
    e.worstExchangeUs = h.worstExchangeUs();
    e.failuresSinceSearch = h.failuresSinceSearch();
    e.zombieEpisodes = h.zombieEpisodes();
    e.zombieMs = h.zombieMs(now);
    return e;
}

bool InventoryEntry::operator==(const InventoryEntry &other) const
{
    return address == other.address && serialNumber == other.serialNumber
        && firmware == other.firmware && boardVersions == other.boardVersions
        && input == other.input && mode == other.mode && state == other.state
        && lastGoodReply == other.lastGoodReply && medianExchangeUs == other.medianExchangeUs
        && worstExchangeUs == other.worstExchangeUs
        && failuresSinceSearch == other.failuresSinceSearch
        && zombieEpisodes == other.zombieEpisodes && zombieMs == other.zombieMs;
}
