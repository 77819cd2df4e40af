// The inventory from the running window on the simulated bus: "Export
// inventory…" writes what the simulator's monitors report, a failed write
// is reported, and "Compare with inventory…" lists what changed on the bus
// since, or that nothing did, and refuses a file that is not an inventory.
#include "tests/support/mainwindowfixture.h"

#include "inventory/inventory.h"
#include "inventory/inventoryfile.h"
#include "monitor/cmonitor.h"
#include "tests/support/modalwatcher.h"
#include "tools/sim/simmonitor.h"
#include "transport/rsthread.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// Triggers the action; every modal dialog it opens meanwhile goes to handle
// until handle takes it.
void trigger(QAction *action, const ModalWatcher::Handler &handle)
{
    ModalWatcher watcher(handle);
    action->trigger();
}

// Answers the save or open dialog with this name typed in; types selects
// another file type first, as the operator picks it from the list.
ModalWatcher::Handler chooseFile(const QString &path, bool otherType = false)
{
    return [=](QWidget *shown) {
        auto *chooser = qobject_cast<QFileDialog *>(shown);
        if (!chooser)
            return false;
        if (otherType) {
            auto *types = chooser->findChild<QComboBox *>("fileTypeCombo");
            types->setFocus();
            QTest::keyClick(types, Qt::Key_Down);
        }
        ModalWatcher::retype(chooser->findChild<QLineEdit *>("fileNameEdit"), path);
        static_cast<QDialog *>(chooser)->accept(); // as its Save or Open button does
        return true;
    };
}

// The version text of board pair `index` as the window shows it.
QString board(const QByteArray &bytes, int index)
{
    return CMonitor::versionText(quint8(bytes.at(2 * index)), quint8(bytes.at(2 * index + 1)));
}

} // namespace

class TestInventoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void exportAndCompare()
    {
        MainWindowFixture f;
        SimMonitorState nine = SimMonitor::defaultState(9);
        nine.serialNumber = QStringLiteral("SN,9 \"b\"");
        nine.version = QStringLiteral("1.9.05");
        nine.boardVersions = QByteArray::fromHex("21fe3001100022031107");
        QVERIFY(f.bus.addMonitor(nine));
        // A time-out that a loaded machine keeps: no monitor may turn zombie here.
        QVERIFY(f.startWith({3, 9}, QString(), 300));

        // No suffix typed: the chosen type's; then the other type picked.
        trigger(f.action("exportInventoryAct"), chooseFile(f.dir.filePath("bus")));
        trigger(f.action("exportInventoryAct"), chooseFile(f.dir.filePath("bus2"), true));
        for (const QString name : {"bus.csv", "bus2.json"}) {
            Inventory inv;
            QString error;
            QVERIFY2(InventoryFile::read(f.dir.filePath(name), &inv, &error), qPrintable(error));
            QCOMPARE(inv.port, f.bus.devicePath());
            QVERIFY(qAbs(inv.exported.secsTo(QDateTime::currentDateTime())) < 60);
            QCOMPARE(inv.monitors.size(), 2);
            for (const InventoryEntry &e : inv.monitors) {
                const SimMonitorState sim = *f.bus.monitor(quint8(e.address));
                QCOMPARE(e.serialNumber, sim.serialNumber);
                QCOMPARE(e.firmware, sim.version);
                QCOMPARE(e.boardVersions, QStringList({board(sim.boardVersions, 0), board(sim.boardVersions, 1),
                                                       board(sim.boardVersions, 2), board(sim.boardVersions, 3),
                                                       board(sim.boardVersions, 4)}));
                QCOMPARE(e.input + '|' + e.mode + '|' + e.state, QStringLiteral("SDI 1|1920x1080/59.94I|NORMAL"));
                // Healthy monitors; the figures themselves are the record's.
                QVERIFY((e.medianExchangeUs < 0) == (e.worstExchangeUs < 0) && e.worstExchangeUs >= e.medianExchangeUs);
                QCOMPARE(e.failuresSinceSearch + e.zombieEpisodes + e.zombieMs, 0);
            }
            QCOMPARE(inv.monitors.at(1).boardVersions.first(), QStringLiteral("2.1.-2"));
        }

        // A name the program cannot write: a warning, and nothing written.
        QString warning;
        trigger(f.action("exportInventoryAct"), [&](QWidget *dialog) {
            if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
                warning = box->windowTitle() + '|' + box->text();
                return ModalWatcher::click(box, "OK");
            }
            return chooseFile(f.dir.filePath("bus.txt"))(dialog);
        });
        QCOMPARE(warning, "Export inventory|" + f.dir.filePath("bus.txt") + ": an inventory is written as .csv or .json");
        const auto compare = [&](const QString &path) {
            QString seen;
            trigger(f.action("compareInventoryAct"), [&](QWidget *dialog) {
                if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
                    seen = box->windowTitle() + '|' + box->text();
                    return ModalWatcher::click(box, "OK");
                }
                if (auto *view = dialog->findChild<QPlainTextEdit *>("changesView")) {
                    seen = view->toPlainText();
                    static_cast<QDialog *>(dialog)->reject();
                    return true;
                }
                return chooseFile(path)(dialog);
            });
            return seen;
        };
        QVERIFY(!QFile::exists(f.dir.filePath("bus.txt")));

        QCOMPARE(compare(f.dir.filePath("bus.csv")), QStringLiteral("No differences."));
        QVERIFY(f.bus.setVersion(9, QStringLiteral("1.10.0")));
        QTRY_COMPARE(f.controller()->transactionThread()->findMonitor(9)->version, QStringLiteral("1.10.0"));
        QCOMPARE(compare(f.dir.filePath("bus2.json")),
                 QStringLiteral("~ 9 \"SN,9 \\\"b\\\"\" firmware upgraded 1.9.05 -> 1.10.0"));

        QFile foreign(f.dir.filePath("notes.csv"));
        QVERIFY(foreign.open(QIODevice::WriteOnly) && foreign.write("date,text\r\n1,x\r\n") > 0);
        foreign.close();
        QCOMPARE(compare(foreign.fileName()),
                 "Compare with inventory|" + foreign.fileName()
                     + ": not an inventory: the first row is not the inventory's header (exported,port,"
                       "application,address,serial,firmware,boards,input,mode,state,last_good_reply,"
                       "median_exchange_us,worst_exchange_us,failures_since_search,zombie_episodes,zombie_ms)");
    }
};

QTEST_MAIN(TestInventoryWindow)
#include "tst_inventorywindow.moc"
