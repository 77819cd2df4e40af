// Where the operator reads the bus health: the Misc tab of the detail
// window, the table row's tooltip and the "Bus health" window, on a main
// window over the simulated bus.
#include "health/healthmodel.h"
#include "health/healthwindow.h"
#include "monitor/model/monitormodel.h"
#include "tests/support/mainwindowfixture.h"

#include <QtTest>
#include <QtWidgets>

namespace {

constexpr int TimeoutMs = 150;

const CMonitor *record(MainWindowFixture &f, quint8 address)
{
    for (int i = 0; i < f.controller()->monitorCount(); ++i) {
        if (f.controller()->monitorAt(i)->address == address)
            return f.controller()->monitorAt(i);
    }
    return nullptr;
}

// A figure as shown, "41.3 ms", in milliseconds; -1 if it is no such text.
double shownMs(const QString &text)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^(\\d+\\.\\d) ms$")).match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

// Whether the text shows this many microseconds, rounded to a tenth of a ms.
bool shows(const QString &text, qint64 us)
{
    return shownMs(text) >= 0 && qAbs(shownMs(text) - us / 1000.0) < 0.051;
}

// The window's rows top to bottom, by address.
QStringList shownAddresses(const QTableView *table)
{
    QStringList addresses;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        addresses << table->model()->index(row, HealthModel::AddressColumn).data().toString();
    return addresses;
}

void clickHeader(QTableView *table, int column)
{
    QHeaderView *header = table->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class TestHealthWindow : public QObject
{
    Q_OBJECT

private slots:
    // The Misc tab's "Bus health" group and the row's tooltip show the
    // record's figures, and follow a monitor that falls silent.
    void detailAndTooltip()
    {
        MainWindowFixture f;
        QVERIFY(f.bus.addMonitor(5));
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Late, 30)));
        QVERIFY(f.startWith({5}, QString(), TimeoutMs));
        QTableView *table = f.table();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(0, 0)).center());
        f.dock()->show();
        QTRY_VERIFY_WITH_TIMEOUT(record(f, 5)->health.exchangeCount() >= 8, 5000);

        QTabWidget *tabs = f.w<QTabWidget>("tabs");
        tabs->setCurrentIndex(2);
        QCOMPARE(f.w<QGroupBox>("healthGroup")->title(), QStringLiteral("Bus health"));
        // Within the second the window takes to catch up with the record.
        QTRY_VERIFY_WITH_TIMEOUT(shows(f.w("medianLabel")->text(), record(f, 5)->health.medianExchangeUs()), 3000);
        const double medianMs = shownMs(f.w("medianLabel")->text());
        QVERIFY2(medianMs >= 30 && medianMs < 60, qPrintable(f.w("medianLabel")->text()));
        QVERIFY(shownMs(f.w("worstLabel")->text()) >= medianMs);
        QCOMPARE(f.w("failuresLabel")->text(), QStringLiteral("0"));
        QCOMPARE(f.w("zombieLabel")->text(), QStringLiteral("0 (0:00:00)"));
        const QTime lastReply = QTime::fromString(f.w("lastReplyLabel")->text(), QStringLiteral("hh:mm:ss"));
        QVERIFY2(qAbs(lastReply.secsTo(QTime::currentTime())) <= 2, qPrintable(f.w("lastReplyLabel")->text()));

        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Silence)));
        QTRY_VERIFY_WITH_TIMEOUT(record(f, 5)->state & CMonitor::StateZombie, 5000);
        // The zombie's time grows on the tab while nothing else changes.
        QTRY_VERIFY_WITH_TIMEOUT(f.w("zombieLabel")->text().startsWith(QLatin1String("1 (0:00:0"))
                                     && f.w("zombieLabel")->text() >= QLatin1String("1 (0:00:02)"), 5000);
        QVERIFY(f.w("failuresLabel")->text().toInt() >= 1);
        QVERIFY(shownMs(f.w("worstLabel")->text()) >= TimeoutMs);

        // The same figures on every cell of the row.
        const BusHealth &health = record(f, 5)->health;
        const QString tip = table->model()->index(0, 0).data(Qt::ToolTipRole).toString();
        const QRegularExpressionMatch times =
            QRegularExpression(QStringLiteral("Exchange time: median (\\d+\\.\\d ms), worst (\\d+\\.\\d ms)")).match(tip);
        QVERIFY2(times.hasMatch() && shownMs(times.captured(2)) >= TimeoutMs
                     && shows(times.captured(2), health.worstExchangeUs())
                     && shows(times.captured(1), health.medianExchangeUs())
                     && tip.contains(QStringLiteral("Failed exchanges since search: %1").arg(health.failuresSinceSearch()))
                     && tip.contains(QLatin1String("Zombie episodes: 1 (0:00:0")),
                 qPrintable(tip));
        for (int column = 0; column < table->model()->columnCount(); ++column)
            QCOMPARE(table->model()->index(0, column).data(Qt::ToolTipRole).toString().section(u'\n', 1), tip.section(u'\n', 1));
    }

    // Opened from the menu with the most failing and slowest first; each
    // header sorts by its figure's value, not its text; live updates keep
    // the operator's sort and selection.
    void windowSorts()
    {
        MainWindowFixture f;
        for (quint8 address : {5, 12, 40})
            QVERIFY(f.bus.addMonitor(address));
        QVERIFY(f.bus.setFault(12, SimFault(SimFault::Late, 60)));
        QVERIFY(f.startWith({5, 12, 40}, QString(), TimeoutMs));
        QVERIFY(f.bus.setFault(40, SimFault(SimFault::Silence)));
        QTRY_VERIFY_WITH_TIMEOUT(record(f, 40)->state & CMonitor::StateZombie, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(record(f, 12)->health.worstExchangeUs() >= 60000, 5000);

        f.action("healthAct")->trigger();
        auto *window = f.w<HealthWindow>("healthWindow");
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QStringLiteral("Bus health"));
        auto *table = child<QTableView>(window, QStringLiteral("healthTable"));
        QCOMPARE(shownAddresses(table), QStringList({"40", "12", "5"}));
        QCOMPARE(table->model()->rowCount(), 3);

        clickHeader(table, HealthModel::AddressColumn); // text would put 12 and 40 before 5
        QCOMPARE(shownAddresses(table), QStringList({"5", "12", "40"}));
        clickHeader(table, HealthModel::AddressColumn);
        QCOMPARE(shownAddresses(table), QStringList({"40", "12", "5"}));
        clickHeader(table, HealthModel::WorstColumn); // the slowest first at the first click
        QCOMPARE(shownAddresses(table), QStringList({"40", "12", "5"}));
        clickHeader(table, HealthModel::WorstColumn); // text: "150.0 ms" < "4.1 ms" < "60.5 ms"
        QCOMPARE(shownAddresses(table), QStringList({"5", "12", "40"}));
        clickHeader(table, HealthModel::LastReplyColumn); // the longest without an answer first
        QCOMPARE(shownAddresses(table).first(), QStringLiteral("40"));
        clickHeader(table, HealthModel::ZombieTimeColumn);
        QCOMPARE(shownAddresses(table).first(), QStringLiteral("40"));

        clickHeader(table, HealthModel::SerialColumn);
        QCOMPARE(shownAddresses(table), QStringList({"5", "12", "40"}));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(1, 0)).center());
        // Figures change, a record changes, the clock ticks: the same rows
        // in the same order, the same one selected.
        QVERIFY(f.bus.setVersion(12, QStringLiteral("V9.9")));
        QTRY_COMPARE_WITH_TIMEOUT(record(f, 12)->version, QStringLiteral("V9.9"), 5000);
        const QString zombieTime = table->model()->index(2, HealthModel::ZombieTimeColumn).data().toString();
        QTRY_VERIFY_WITH_TIMEOUT(table->model()->index(2, HealthModel::ZombieTimeColumn).data().toString() != zombieTime, 3000);
        QCOMPARE(shownAddresses(table), QStringList({"5", "12", "40"}));
        QCOMPARE(table->horizontalHeader()->sortIndicatorSection(), int(HealthModel::SerialColumn));
        const QModelIndexList selected = table->selectionModel()->selectedRows(HealthModel::AddressColumn);
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().data().toString(), QStringLiteral("12"));

        // Opened again: the same window, still sorted as it was left.
        window->close();
        f.action("healthAct")->trigger();
        QCOMPARE(f.window->findChildren<HealthWindow *>().size(), 1);
        QVERIFY(window->isVisible());
        QCOMPARE(shownAddresses(table), QStringList({"5", "12", "40"}));
    }
};

QTEST_MAIN(TestHealthWindow)
#include "tst_healthwindow.moc"
