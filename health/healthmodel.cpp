#include "health/healthmodel.h"

#include "monitor/alarmstatus.h"
#include "monitor/healthtext.h"
#include "supervision/mcontroller.h"

#include <QDateTime>

#include <algorithm>

HealthModel::HealthModel(MController *controller, QObject *parent)
    : QAbstractTableModel(parent), controller(controller)
{
    if (controller) {
        connect(controller, &MController::monitorAdded, this, &HealthModel::sync);
        connect(controller, &MController::monitorRemoved, this, &HealthModel::sync);
        connect(controller, &MController::monitorChanged, this, &HealthModel::monitorChanged);
    }
    sync();
}

int HealthModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int HealthModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HealthModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return QVariant();
    const CMonitor &m = rows.at(index.row());
    const BusHealth &health = m.health;
    const QDateTime now = QDateTime::currentDateTime();
    const int column = index.column();
    if (role == Qt::TextAlignmentRole && column != SerialColumn && column != StatusColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::BackgroundRole && column == StatusColumn)
        return statusColor(m);
    if (role != Qt::DisplayRole && role != Qt::UserRole)
        return QVariant();
    const bool display = role == Qt::DisplayRole;
    switch (column) {
    case AddressColumn:
        return int(m.address);
    case SerialColumn:
        return m.serialNumber;
    case StatusColumn:
        return display ? QVariant(statusText(m)) : QVariant(statusCode(m));
    case LastReplyColumn:
        if (display)
            return HealthText::lastReply(health.lastGoodReply(), now);
        return health.lastGoodReply().isValid() ? health.lastGoodReply().toMSecsSinceEpoch() : qint64(-1);
    case MedianColumn:
        return display ? QVariant(HealthText::exchangeTime(health.medianExchangeUs()))
                       : QVariant(health.medianExchangeUs());
    case WorstColumn:
        return display ? QVariant(HealthText::exchangeTime(health.worstExchangeUs()))
                       : QVariant(health.worstExchangeUs());
    case FailuresColumn:
        return health.failuresSinceSearch();
    case ZombieEpisodesColumn:
        return health.zombieEpisodes();
    case ZombieTimeColumn:
        return display ? QVariant(HealthText::duration(health.zombieMs(now)))
                       : QVariant(health.zombieMs(now));
    default:
        return QVariant();
    }
}

QVariant HealthModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::InitialSortOrderRole) {
        // The oldest last reply is the worrying one, like the largest figure.
        const bool worstHigh = section >= MedianColumn;
        return int(worstHigh ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case AddressColumn: return tr("Address");
    case SerialColumn: return tr("SN");
    case StatusColumn: return tr("Status");
    case LastReplyColumn: return tr("Last good reply");
    case MedianColumn: return tr("Median");
    case WorstColumn: return tr("Worst");
    case FailuresColumn: return tr("Failures");
    case ZombieEpisodesColumn: return tr("Zombie episodes");
    case ZombieTimeColumn: return tr("Zombie time");
    default: return QVariant();
    }
}

void HealthModel::sync()
{
    QList<const CMonitor *> live;
    for (int i = 0; controller && i < controller->monitorCount(); ++i) {
        if (const CMonitor *m = controller->monitorAt(i))
            live << m;
    }
    // A merge of two lists in ascending address: a monitor on both keeps
    // its row, so a selection on it stays where it is.
    int row = 0;
    for (const CMonitor *m : live) {
        while (row < rows.size() && rows.at(row).address < m->address) {
            beginRemoveRows(QModelIndex(), row, row);
            rows.removeAt(row);
            endRemoveRows();
        }
        if (row < rows.size() && rows.at(row).address == m->address) {
            rows[row] = *m;
        } else {
            beginInsertRows(QModelIndex(), row, row);
            rows.insert(row, *m);
            endInsertRows();
        }
        ++row;
    }
    if (row < rows.size()) {
        beginRemoveRows(QModelIndex(), row, int(rows.size()) - 1);
        rows.erase(rows.begin() + row, rows.end());
        endRemoveRows();
    }
    if (!rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(rows.size()) - 1, ColumnCount - 1));
}

void HealthModel::monitorChanged(const CMonitor &monitor)
{
    const auto at = std::lower_bound(rows.begin(), rows.end(), monitor.address,
                                     [](const CMonitor &m, quint8 address) { return m.address < address; });
    if (at == rows.end() || at->address != monitor.address) {
        sync(); // a list this model has not seen yet
        return;
    }
    *at = monitor;
    const int row = int(at - rows.begin());
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}
