#ifndef MONITORMODEL_H
#define MONITORMODEL_H

#include "supervision/monitormodelnotifier.h"

#include <QAbstractTableModel>
#include <QHash>

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
    // Present only while the tally input runs (setUmdShown): what each
    // monitor's UMD shows, on the colour of its lamps.
    static constexpr int UmdColumn = ColumnCount;

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

    void setUmdShown(bool shown);
    bool umdShown() const { return m_umdShown; }

private:
    void noteUmd(quint8 address, const QByteArray &text, quint8 tally);

    MController *m_controller;
    // The row count as last announced. The controller changes the list first
    // and announces afterwards; between the two, views and proxies must still
    // see the old count, as Qt's model contract requires.
    int m_rows = 0;
    bool m_umdShown = false;
    struct Umd
    {
        QString text;
        quint8 tally = 0;
    };
    // By bus address; kept while the column is hidden, so that it shows
    // what was sent before it appeared.
    QHash<quint8, Umd> m_umd;
    static QVariant umdData(const Umd &umd, int role);
};

#endif // MONITORMODEL_H
