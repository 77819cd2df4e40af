// The table model in step with the monitor list while monitors are found,
// change, are removed and a new search resets all.
#include "tests/support/supervisionfixture.h"

#include "monitor/alarmstatus.h"

#include <QSortFilterProxyModel>
#include <QtTest>

class TestMonitorModel : public QObject
{
    Q_OBJECT

private slots:
    void emptyModel();
    void rowsFollowTheList();
    void cellsAndSortValues();
};

void TestMonitorModel::emptyModel()
{
    SupervisionFixture f;
    f.writeSettings();
    f.createController();
    MonitorModel &model = *f.model;
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 7);
    const QStringList headers = {"SN", "Status", "Input", "Mode", "Address", "Version", "None"};
    for (int column = 0; column < headers.size(); ++column)
        QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), headers.at(column));
    QCOMPARE(model.headerData(9, Qt::Horizontal).toString(), QStringLiteral("None"));
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
    QCOMPARE(model.headerData(41, Qt::Vertical).toString(), QStringLiteral("42"));
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(!model.data(model.index(0, 0)).isValid());
    QCOMPARE(model.flags(QModelIndex()), Qt::ItemIsEnabled);
}

void TestMonitorModel::rowsFollowTheList()
{
    SupervisionFixture f;
    for (quint8 address : {4, 9, 17}) {
        SimMonitorState state;
        state.address = address;
        state.serialNumber = QStringLiteral("SN%1").arg(address);
        QVERIFY(f.bus.addMonitor(state));
    }
    f.writeSettings();
    f.createController();
    // The list changes before the model announces it; until the announcement
    // ends, the model must still report the old row count.
    QList<int> countsBefore;
    QList<int> countsAfter;
    const auto before = [&] { countsBefore << f.model->rowCount(); };
    const auto after = [&] { countsAfter << f.model->rowCount(); };
    connect(f.model.get(), &QAbstractItemModel::rowsAboutToBeInserted, this, before);
    connect(f.model.get(), &QAbstractItemModel::rowsAboutToBeRemoved, this, before);
    connect(f.model.get(), &QAbstractItemModel::rowsInserted, this, after);
    connect(f.model.get(), &QAbstractItemModel::rowsRemoved, this, after);
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(f.model.get());
    proxy.setSortRole(Qt::UserRole);
    proxy.setDynamicSortFilter(true);
    proxy.sort(MonitorModel::AddressColumn, Qt::DescendingOrder);

    QSignalSpy inserted(f.model.get(), &QAbstractItemModel::rowsInserted);
    QVERIFY(f.searchUpTo(17));
    QCOMPARE(inserted.size(), 3);
    QCOMPARE(f.model->rowCount(), 3);
    QCOMPARE(countsBefore, QList<int>({0, 1, 2}));
    QCOMPARE(countsAfter, QList<int>({1, 2, 3}));
    QCOMPARE(f.model->rowCount(f.model->index(0, 0)), 0);
    QCOMPARE(proxy.index(0, MonitorModel::AddressColumn).data().toInt(), 17);
    for (int row = 0; row < 3; ++row)
        QCOMPARE(f.model->data(f.model->index(row, MonitorModel::AddressColumn)).toInt(),
                 int(f.controller->monitorAt(row)->address));

    QSignalSpy changed(f.model.get(), &QAbstractItemModel::dataChanged);
    QTRY_COMPARE_WITH_TIMEOUT(f.model->data(f.model->index(1, 0)).toString(), QStringLiteral("SN9"), 5000);
    QVERIFY(!changed.isEmpty());
    QCOMPARE(changed.last().at(0).toModelIndex().column(), 0);
    QCOMPARE(changed.last().at(1).toModelIndex().column(), 6);

    QSignalSpy removed(f.model.get(), &QAbstractItemModel::rowsRemoved);
    QVERIFY(f.controller->removeMonitor(f.controller->monitorAt(1)));
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 1);
    QCOMPARE(countsBefore.last(), 3);
    QCOMPARE(countsAfter.last(), 2);
    QCOMPARE(f.model->rowCount(), 2);
    QCOMPARE(proxy.rowCount(), 2);
    QCOMPARE(f.model->data(f.model->index(1, MonitorModel::AddressColumn)).toInt(), 17);

    QSignalSpy reset(f.model.get(), &QAbstractItemModel::modelReset);
    QVERIFY(f.searchUpTo(17));
    QCOMPARE(reset.size(), 1);
    QCOMPARE(f.model->rowCount(), 3);
}

void TestMonitorModel::cellsAndSortValues()
{
    SupervisionFixture f;
    SimMonitorState unknownCodes;
    unknownCodes.address = 3;
    unknownCodes.serialNumber = QStringLiteral("B-3");
    unknownCodes.input = 11;
    unknownCodes.mode = 57;
    unknownCodes.alarm = 0x08;
    QVERIFY(f.bus.addMonitor(unknownCodes));
    SimMonitorState known;
    known.address = 12;
    known.serialNumber = QStringLiteral("A-12");
    known.input = 10;
    known.mode = 56;
    known.version = QStringLiteral("V1");
    QVERIFY(f.bus.addMonitor(known));
    SimMonitorState off;
    off.address = 20;
    off.power = false;
    QVERIFY(f.bus.addMonitor(off));
    f.writeSettings();
    f.createController();
    QVERIFY(f.searchUpTo(20));
    QTRY_COMPARE_WITH_TIMEOUT(f.model->data(f.model->index(1, MonitorModel::VersionColumn)).toString(),
                              QStringLiteral("V1"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->monitorAt(0)->alarm, 8, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(int(f.controller->monitorAt(0)->mode), 57, 5000);

    const MonitorModel &model = *f.model;
    auto cell = [&](int row, int column, int role = Qt::DisplayRole) {
        return model.data(model.index(row, column), role);
    };
    // Codes beyond the name tables give empty cells.
    QVERIFY(!cell(0, MonitorModel::InputColumn).isValid());
    QVERIFY(!cell(0, MonitorModel::ModeColumn).isValid());
    QCOMPARE(cell(1, MonitorModel::InputColumn).toString(), QStringLiteral("None"));
    QCOMPARE(cell(1, MonitorModel::ModeColumn).toString(), QStringLiteral("1440x1080/24P"));

    // The status column sorts by code: alarm 0, power off 1, normal 2.
    QVERIFY(!cell(0, MonitorModel::StatusColumn).isValid());
    QCOMPARE(cell(0, MonitorModel::StatusColumn, Qt::UserRole).toInt(), int(StatusAlarm));
    QCOMPARE(cell(1, MonitorModel::StatusColumn, Qt::UserRole).toInt(), int(StatusNormal));
    QCOMPARE(cell(2, MonitorModel::StatusColumn, Qt::UserRole).toInt(), int(StatusPowerOff));
    QCOMPARE(cell(0, MonitorModel::StatusColumn, Qt::BackgroundRole).value<QColor>(), QColor(Qt::red));
    QCOMPARE(cell(0, MonitorModel::StatusColumn, Qt::DecorationRole).value<QPixmap>().size(), QSize(96, 32));
    QCOMPARE(cell(0, MonitorModel::IconColumn).toString(), QStringLiteral("B-3"));
    QCOMPARE(cell(2, MonitorModel::IconColumn, Qt::BackgroundRole).value<QColor>(), QColor(Qt::gray));

    // Addresses sort as numbers, serial numbers as text.
    QCOMPARE(cell(2, MonitorModel::AddressColumn, Qt::UserRole).typeId(), QMetaType::Int);
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(f.model.get());
    proxy.setSortRole(Qt::UserRole);
    proxy.sort(MonitorModel::AddressColumn, Qt::DescendingOrder);
    QCOMPARE(proxy.index(0, MonitorModel::AddressColumn).data().toInt(), 20);
    QCOMPARE(proxy.index(1, MonitorModel::AddressColumn).data().toInt(), 12);
    proxy.sort(MonitorModel::SerialColumn, Qt::AscendingOrder);
    QCOMPARE(proxy.index(1, MonitorModel::SerialColumn).data().toString(), QStringLiteral("A-12"));
    QCOMPARE(proxy.index(2, MonitorModel::SerialColumn).data().toString(), QStringLiteral("B-3"));
    proxy.sort(MonitorModel::StatusColumn, Qt::AscendingOrder);
    QCOMPARE(proxy.index(0, MonitorModel::AddressColumn).data().toInt(), 3);
    QCOMPARE(proxy.index(2, MonitorModel::AddressColumn).data().toInt(), 12);

    // Disabling the mute alarm turns the row normal at the next look.
    f.writeSettings(QStringLiteral("[alarm]\nmute=false\n"));
    QCOMPARE(cell(0, MonitorModel::StatusColumn, Qt::UserRole).toInt(), int(StatusNormal));

    // Only the serial number and the icon can be selected; only the icon dragged.
    for (int column = 0; column < MonitorModel::ColumnCount; ++column) {
        const Qt::ItemFlags flags = model.flags(model.index(0, column));
        QVERIFY(flags & Qt::ItemIsEnabled);
        QCOMPARE(bool(flags & Qt::ItemIsSelectable), column == 0 || column == 6);
        QCOMPARE(bool(flags & Qt::ItemIsDragEnabled), column == 6);
        QVERIFY(!(flags & Qt::ItemIsEditable));
    }
}

QTEST_MAIN(TestMonitorModel)
#include "tst_monitormodel.moc"
