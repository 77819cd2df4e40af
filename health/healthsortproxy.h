#ifndef HEALTHSORTPROXY_H
#define HEALTHSORTPROXY_H

#include <QSortFilterProxyModel>

// Sorts the health table by the clicked column's value (Qt::UserRole);
// rows equal there follow the failures, then the worst exchange time, so
// that the most failing and slowest come first in a descending sort.
class HealthSortProxy : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit HealthSortProxy(QObject *parent = nullptr);

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
};

#endif // HEALTHSORTPROXY_H
