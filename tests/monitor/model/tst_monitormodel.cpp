// The table model in step with the monitor list while monitors are found,
// change, are removed and a new search resets all; and what its cells show.
#include "tests/support/supervisionfixture.h"

#include "monitor/alarmstatus.h"

#include <QColor>
#include <QSortFilterProxyModel>
#include <QtTest>

class TestMonitorModel : public QObject
{
    Q_OBJECT

private slots:
    void modelFollowsTheList()
    {
        SupervisionFixture f;
        SimMonitorState unknownCodes = SupervisionFixture::monitorState(3); // codes beyond the name tables
        unknownCodes.input = 11;
        unknownCodes.mode = 57;
        unknownCodes.alarm = 0x08;
        SimMonitorState lastCodes = SupervisionFixture::monitorState(12); // the last names of the tables
        lastCodes.input = 10;
        lastCodes.mode = 56;
        for (const SimMonitorState &state : {unknownCodes, lastCodes, SupervisionFixture::monitorState(20, false)})
            QVERIFY(f.bus.addMonitor(state));
        f.writeSettings();
        f.createController();
        MonitorModel &model = *f.model;
        QStringList headers;
        for (int column = 0; column <= model.columnCount(); ++column)
            headers << model.headerData(column, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"SN", "Status", "Input", "Mode", "Address", "Version", "None", "None"}));
        QCOMPARE(model.headerData(41, Qt::Vertical).toString(), QStringLiteral("42"));

        // The list changes before the model announces it; until the announcement
        // ends, the model must still report the old row count.
        QList<int> countsBefore;
        QList<int> countsAfter;
        const auto before = [&] { countsBefore << model.rowCount(); };
        const auto after = [&] { countsAfter << model.rowCount(); };
        connect(&model, &QAbstractItemModel::rowsAboutToBeInserted, this, before);
        connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this, before);
        connect(&model, &QAbstractItemModel::rowsInserted, this, after);
        connect(&model, &QAbstractItemModel::rowsRemoved, this, after);
        // Sorted by the sort values: addresses as numbers, serial numbers as
        // text, statuses by code.
        QSortFilterProxyModel proxy;
        proxy.setSourceModel(&model);
        proxy.setSortRole(Qt::UserRole);
        proxy.setDynamicSortFilter(true);
        const auto sortedAddresses = [&](int column) {
            proxy.sort(column, Qt::AscendingOrder);
            QList<int> addresses;
            for (int row = 0; row < proxy.rowCount(); ++row)
                addresses << proxy.index(row, MonitorModel::AddressColumn).data().toInt();
            return addresses;
        };
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(f.searchUpTo(20));
        QCOMPARE(countsBefore, QList<int>({0, 1, 2}));
        QCOMPARE(countsAfter, QList<int>({1, 2, 3}));
        QCOMPARE(model.rowCount(model.index(0, 0)), 0); // a flat table: rows have no children
        auto cell = [&](int row, int column, int role = Qt::DisplayRole) { return model.index(row, column).data(role); };
        QTRY_COMPARE_WITH_TIMEOUT(cell(1, MonitorModel::VersionColumn).toString(), QStringLiteral("V2.1"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->monitorAt(0)->alarm == 8 && f.controller->monitorAt(0)->mode == 57, 5000);
        QCOMPARE(changed.last().at(0).toModelIndex().column(), 0);
        QCOMPARE(changed.last().at(1).toModelIndex().column(), 6);

        // Each row's serial, input, mode, status code (alarm 0, power off 1,
        // normal 2), colour and icon-column text.
        QStringList rows;
        for (int row = 0; row < 3; ++row)
            rows << QStringLiteral("%1|%2|%3|%4|%5|%6")
                        .arg(cell(row, MonitorModel::SerialColumn).toString(), cell(row, MonitorModel::InputColumn).toString(),
                             cell(row, MonitorModel::ModeColumn).toString(),
                             cell(row, MonitorModel::StatusColumn, Qt::UserRole).toString(),
                             cell(row, MonitorModel::StatusColumn, Qt::BackgroundRole).value<QColor>().name(),
                             cell(row, MonitorModel::IconColumn).toString());
        QCOMPARE(rows, QStringList({"KV0003|||0|#ff0000|KV0003", "KV0012|None|1440x1080/24P|2|#00ff00|KV0012",
                                    "|CVBS|No Signal|1|#a0a0a4|"}));
        QVERIFY(!cell(0, MonitorModel::StatusColumn).isValid());
        QCOMPARE(cell(0, MonitorModel::StatusColumn, Qt::DecorationRole).value<QPixmap>().size(), QSize(96, 32));
        QCOMPARE(cell(2, MonitorModel::IconColumn, Qt::BackgroundRole).value<QColor>(), QColor(Qt::gray));
        QCOMPARE(sortedAddresses(MonitorModel::AddressColumn), QList<int>({3, 12, 20}));
        QCOMPARE(sortedAddresses(MonitorModel::SerialColumn), QList<int>({20, 3, 12}));
        QCOMPARE(sortedAddresses(MonitorModel::StatusColumn), QList<int>({3, 20, 12}));

        // Disabling the mute alarm turns the row normal at the next look.
        f.writeSettings(QStringLiteral("[alarm]\nmute=false\n"));
        QCOMPARE(cell(0, MonitorModel::StatusColumn, Qt::UserRole).toInt(), int(StatusNormal));

        // Only the serial number and the icon can be selected; only the icon dragged.
        QList<int> flags;
        for (int column = 0; column < MonitorModel::ColumnCount; ++column)
            flags << model.flags(model.index(0, column));
        const int plain = Qt::ItemIsEnabled, selectable = plain | Qt::ItemIsSelectable;
        QCOMPARE(flags, QList<int>({selectable, plain, plain, plain, plain, plain, selectable | Qt::ItemIsDragEnabled}));

        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QVERIFY(f.controller->removeMonitor(f.controller->monitorAt(1)));
        QCOMPARE(removed.value(0).value(1).toInt(), 1);
        QCOMPARE(countsBefore.last(), 3);
        QCOMPARE(countsAfter.last(), 2);
        QCOMPARE(sortedAddresses(MonitorModel::AddressColumn), QList<int>({3, 20}));
        QCOMPARE(cell(1, MonitorModel::AddressColumn).toInt(), 20);

        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QVERIFY(f.searchUpTo(20));
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 3);
    }

    // With the tally input on, a column shows each monitor's UMD text on the
    // colour of its lamps, whoever set it, also before the column appeared;
    // without it the table is as it always was.
    void umdColumn()
    {
        SupervisionFixture f;
        QVERIFY(f.startWith({5, 6}));
        MonitorModel &model = *f.model;
        QCOMPARE(model.columnCount(), int(MonitorModel::ColumnCount));
        f.controller->sendUmd("CAM 5 AND MORE", 1, 5);
        QSignalSpy inserted(&model, &QAbstractItemModel::columnsInserted);
        model.setUmdShown(true);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(model.columnCount(), MonitorModel::UmdColumn + 1);
        QCOMPARE(model.headerData(MonitorModel::UmdColumn, Qt::Horizontal).toString(), QStringLiteral("UMD"));
        const auto cell = [&](int row, int role) { return model.index(row, MonitorModel::UmdColumn).data(role); };
        QCOMPARE(cell(0, Qt::DisplayRole).toString(), QStringLiteral("CAM 5 AN"));
        QCOMPARE(cell(0, Qt::BackgroundRole).value<QColor>(), QColor(Qt::red));
        QCOMPARE(cell(1, Qt::DisplayRole).toString(), QString());
        QVERIFY(!cell(1, Qt::BackgroundRole).isValid());

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        f.controller->sendUmd("  LIVE  ", 3, 6);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, MonitorModel::UmdColumn));
        QCOMPARE(cell(1, Qt::DisplayRole).toString(), QStringLiteral("LIVE"));
        QCOMPARE(cell(1, Qt::BackgroundRole).value<QColor>(), QColor(255, 191, 0));
        f.controller->sendUmd("LIVE", 2 | 4, 6);
        QCOMPARE(cell(1, Qt::BackgroundRole).value<QColor>(), QColor(Qt::green));

        model.setUmdShown(false);
        QCOMPARE(model.columnCount(), int(MonitorModel::ColumnCount));
        QCOMPARE(model.headerData(MonitorModel::UmdColumn, Qt::Horizontal).toString(), QStringLiteral("None"));
    }
};

QTEST_MAIN(TestMonitorModel)
#include "tst_monitormodel.moc"
