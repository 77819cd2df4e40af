#include "health/healthsortproxy.h"

#include "health/healthmodel.h"

HealthSortProxy::HealthSortProxy(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(Qt::UserRole);
    setDynamicSortFilter(true);
}

bool HealthSortProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const auto value = [this](const QModelIndex &index, int column) {
        return sourceModel()->index(index.row(), column).data(Qt::UserRole);
    };
    if (left.column() == HealthModel::SerialColumn) {
        const int order = QString::compare(value(left, HealthModel::SerialColumn).toString(),
                                           value(right, HealthModel::SerialColumn).toString(), Qt::CaseInsensitive);
        if (order != 0)
            return order < 0;
    }
    for (int column : {left.column(), int(HealthModel::FailuresColumn), int(HealthModel::WorstColumn)}) {
        if (column == HealthModel::SerialColumn)
            continue;
        const qint64 a = value(left, column).toLongLong();
        const qint64 b = value(right, column).toLongLong();
        if (a != b)
            return a < b;
    }
    // Last, the lower address first in a descending sort.
    return value(left, HealthModel::AddressColumn).toInt() > value(right, HealthModel::AddressColumn).toInt();
}
