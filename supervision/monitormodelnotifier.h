#ifndef MONITORMODELNOTIFIER_H
#define MONITORMODELNOTIFIER_H

#include <QModelIndex>

// What the supervisor tells the table model after each change of the monitor
// list, so that a view never sees a row count that differs from the list.
// The model lives above the supervisor and reads its rows through it; this
// interface is how the supervisor reaches back without depending on it.
class MonitorModelNotifier
{
public:
    virtual ~MonitorModelNotifier() = default;

    // The records are already in (or gone from) the list when these are called.
    virtual bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) = 0;
    virtual bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) = 0;
    virtual void updateRow(int row) = 0;
    virtual void reload() = 0;
};

#endif // MONITORMODELNOTIFIER_H
