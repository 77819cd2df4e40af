#ifndef HEALTHMODEL_H
#define HEALTHMODEL_H

#include "monitor/cmonitor.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

class MController;

// Every listed monitor's bus health as a table, one row per monitor in
// ascending address. Qt::UserRole gives each cell's value for sorting:
// numbers, never their text. Rows come and go one at a time as the list
// changes, so that a view keeps its sort and selection.
class HealthModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        AddressColumn,
        SerialColumn,
        StatusColumn,
        LastReplyColumn,
        MedianColumn,
        WorstColumn,
        FailuresColumn,
        ZombieEpisodesColumn,
        ZombieTimeColumn,
        ColumnCount
    };

    explicit HealthModel(MController *controller, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Qt::InitialSortOrderRole: a figure sorts the worst first at its
    // first click.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

public slots:
    // Takes the supervisor's list and records as they are now. A search
    // replaces the list without a word per monitor, so this is also run
    // on every list change and by the window's clock.
    void sync();

private:
    void monitorChanged(const CMonitor &monitor);

    QPointer<MController> controller;
    QList<CMonitor> rows; // copies of the records, ascending address
};

#endif // HEALTHMODEL_H
