#ifndef INVENTORYENTRY_H
#define INVENTORYENTRY_H

#include <QDateTime>
#include <QString>
#include <QStringList>

class CMonitor;

// One monitor as an inventory lists it: who it is, what it runs, how it
// fares on the bus. Texts as the operator reads them in the window.
class InventoryEntry
{
public:
    // The record as it stands at `now`, with its state text as the views
    // show it (the status evaluation lives in a layer with images, so the
    // caller passes the text in).
    static InventoryEntry fromMonitor(const CMonitor &m, const QString &state, const QDateTime &now);

    bool operator==(const InventoryEntry &other) const;
    bool operator!=(const InventoryEntry &other) const { return !(*this == other); }

    int address = 0;
    QString serialNumber;
    QString firmware;
    // The complete board-version pairs, in board order, as the detail
    // window's Misc tab shows them ("1.2.05").
    QStringList boardVersions;
    QString input; // name, or the code in decimal when it has none
    QString mode;
    QString state;

    QDateTime lastGoodReply; // invalid: none yet
    qint64 medianExchangeUs = -1; // -1: no exchange yet
    qint64 worstExchangeUs = -1;
    int failuresSinceSearch = 0;
    int zombieEpisodes = 0;
    qint64 zombieMs = 0;
};

#endif // INVENTORYENTRY_H
