#ifndef MONITORMODEL_H
#define MONITORMODEL_H

#include "supervision/monitormodelnotifier.h"

#include <QAbstractTableModel>

class MController;

// The monitor list as a table: one row per monitor in list order (ascending
// bus address). Every answer is read from the live record at the moment a
// view asks, so status colours and images follow the alarm options at once.
class MonitorModel : public QAbstractTableModel, public MonitorModelNotifier
{
    Q_OBJECT

public:
    enum Column {
        SerialColumn,
        StatusColumn,
        InputColumn,
        ModeColumn,
        AddressColumn,
        VersionColumn,
        IconColumn, // what the icon view shows
        ColumnCount
    };

    MonitorModel(MController *controller, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    void updateRow(int row) override;
    void reload() override;

    MController *controller() const { return m_controller; }

private:
    MController *m_controller;
    // The row count as last announced. The controller changes the list first
    // and announces afterwards; between the two, views and proxies must still
    // see the old count, as Qt's model contract requires.
    int m_rows = 0;
};

#endif // MONITORMODEL_H
