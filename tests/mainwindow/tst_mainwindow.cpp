// The main window as an operator meets it: actions, menus and tool bars, the
// two views and the dock, removal, the search dialog, the quit question and
// the window state that survives a restart.
#include "tests/support/mainwindowfixture.h"

#include "detail/mwindow.h"
#include "iconview/miconview.h"
#include "monitor/cmonitor.h"
#include "monitor/model/monitormodel.h"
#include "supervision/mcontroller.h"
#include "tests/support/modalwatcher.h"
#include "transport/rsthread.h"

#include <QtTest>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDockWidget>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QSettings>
#include <QTableView>
#include <QToolBar>
#include <QTranslator>

namespace {

QStringList entries(const QList<QAction *> &actions)
{
    QStringList texts;
    for (QAction *action : actions)
        texts << (action->isSeparator() ? QStringLiteral("---") : action->text());
    return texts;
}

SimMonitorState monitorState(quint8 address)
{
    SimMonitorState state;
    state.address = address;
    state.serialNumber = QStringLiteral("KV%1").arg(address, 4, 10, QLatin1Char('0'));
    return state;
}

QPoint rowCentre(QTableView *view, int row)
{
    return view->visualRect(view->model()->index(row, 0)).center();
}

// Selects rows of the sorted table one after another, as Ctrl+clicks would.
void selectRows(QTableView *view, const QList<int> &rows)
{
    view->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void actionsMenusAndToolBars();
    void mnemonicsUniqueInEveryMenu_data();
    void mnemonicsUniqueInEveryMenu();
    void tableStartsInListOrder();
    void sortedClickShowsThatMonitor();
    void removeTakesOnlyTheCurrentItem();
    void selectedAddressesFromTheVisibleView();
    void iconsFoundWhileHiddenAreLaidOutWhenShown();
    void viewSwitchIsStoredAtOnce();
    void quitAnsweredNoWritesNothing();
    void quitDuringAScriptWaitEndsIt();
    void searchDialogRunsToTheEnd();
    void searchDialogCancelled();
    void searchWithAPortThatCannotOpen();
    void windowStateSurvivesARestart();
    void statusBarCountsAlarms();
    void linkLabelFollowsTheLink();
    void batchPowerFollowsTheSelection();
    void logFolderAndAboutBox();
};

void TestMainWindow::actionsMenusAndToolBars()
{
    MainWindowFixture f;
    f.writeSettings();
    MainWindow &w = f.open();
    QCOMPARE(w.windowTitle(), QStringLiteral("Kelvaro Controller"));

    QStringList menus;
    for (QAction *action : w.menuBar()->actions())
        menus << action->text();
    QCOMPARE(menus, QStringList({"&File", "&View", "&Advanced", "&Help"}));
    const QList<QAction *> bar = w.menuBar()->actions();
    QCOMPARE(entries(bar.at(0)->menu()->actions()),
             QStringList({"&Search", "---", "&Remove", "---", "&Uart", "&Option", "---", "&Quit"}));
    QCOMPARE(entries(bar.at(1)->menu()->actions()),
             QStringList({"&Table View", "&Icon View", "---", "Monitor window", "---",
                          "&Save Layout", "&Restore Layout"}));
    const QList<QAction *> advanced = bar.at(2)->menu()->actions();
    QCOMPARE(entries(advanced), QStringList({"Batch operation", "Open log folder"}));
    QCOMPARE(entries(advanced.at(0)->menu()->actions()),
             QStringList({"&Excute script", "Power on", "Power off"}));
    QCOMPARE(entries(bar.at(3)->menu()->actions()), QStringList({"&About"}));

    QStringList toolBars;
    QList<QStringList> toolBarEntries;
    for (QToolBar *toolBar : w.findChildren<QToolBar *>()) {
        toolBars << toolBar->windowTitle();
        toolBarEntries << entries(toolBar->actions());
    }
    QCOMPARE(toolBars, QStringList({"File", "View", "Help"}));
    QCOMPARE(toolBarEntries.at(0), QStringList({"&Search", "---", "&Remove", "---", "&Uart", "&Option"}));
    QCOMPARE(toolBarEntries.at(1), QStringList({"&Table View", "&Icon View", "---", "Monitor window",
                                                "---", "&Save Layout", "&Restore Layout"}));
    QCOMPARE(toolBarEntries.at(2), QStringList({"&About"}));

    const QList<QPair<const char *, QString>> shortcuts = {
        {"searchAct", "F5"}, {"removeAct", "Ctrl+R"}, {"optionAct", "Ctrl+O"},
        {"quitAct", "Ctrl+Q"}, {"configureAct", "Ctrl+F"}, {"monitorWindowAct", "Ctrl+D"},
        {"scriptAct", "Ctrl+T"}, {"aboutAct", "Ctrl+A"}, {"tableViewAct", ""}, {"powerOnAct", ""},
    };
    for (const auto &[name, keys] : shortcuts) {
        QAction *action = f.action(name);
        QVERIFY2(action, name);
        QCOMPARE(action->shortcut().toString(), keys);
        QVERIFY(!action->icon().isNull());
        QVERIFY(action->isEnabled());
        QCOMPARE(action->isCheckable(), QByteArray(name) == "monitorWindowAct");
    }
    QCOMPARE(f.action("searchAct")->statusTip(), QStringLiteral("Search monitors"));
    QCOMPARE(f.action("searchAct")->toolTip(), QStringLiteral("Search monitors - F5"));
    QCOMPARE(f.action("removeAct")->toolTip(), QStringLiteral("Remove selected monitor"));
    QCOMPARE(f.action("configureAct")->statusTip(), QStringLiteral("Configure RS422"));
    QCOMPARE(f.action("monitorWindowAct")->statusTip(), QStringLiteral("Toggle monitor window"));

    // The table hides the icon column and sorts on the model's sort values.
    QVERIFY(f.tableView()->isColumnHidden(6));
    QCOMPARE(f.tableView()->columnWidth(3), 120);
    QVERIFY(f.tableView()->isSortingEnabled());
    QCOMPARE(f.iconView()->modelColumn(), 6);
    QCOMPARE(f.dock()->windowTitle(), QStringLiteral("Monitor window"));
    QCOMPARE(w.dockWidgetArea(f.dock()), Qt::RightDockWidgetArea);
}

void TestMainWindow::mnemonicsUniqueInEveryMenu_data()
{
    QTest::addColumn<QString>("catalogue"); // empty: the source language
    QTest::newRow("English") << QString();
    QTest::newRow("German") << qEnvironmentVariable("KC_BIN_DIR") + "/kelvaro-controller_de.qm";
}

// Alt plus a letter must reach one entry only, in every menu and the bar.
void TestMainWindow::mnemonicsUniqueInEveryMenu()
{
    QFETCH(QString, catalogue);
    QTranslator translator;
    if (!catalogue.isEmpty()) {
        QVERIFY2(translator.load(catalogue), qPrintable(catalogue));
        QCoreApplication::installTranslator(&translator);
    }
    MainWindowFixture f;
    f.writeSettings();
    MainWindow &w = f.open();
    QCoreApplication::removeTranslator(&translator);

    const auto mnemonic = [](const QString &text) -> QChar {
        for (int i = 0; i + 1 < text.size(); ++i) {
            if (text.at(i) == QLatin1Char('&')) {
                if (text.at(i + 1) != QLatin1Char('&'))
                    return text.at(i + 1).toLower();
                ++i;
            }
        }
        return QChar();
    };
    QList<QPair<QString, QList<QAction *>>> menus = {{"menu bar", w.menuBar()->actions()}};
    for (int m = 0; m < menus.size(); ++m) {
        QMap<QChar, QString> taken;
        for (QAction *action : menus.at(m).second) {
            if (action->menu())
                menus.append({action->text(), action->menu()->actions()});
            const QChar key = mnemonic(action->text());
            if (key.isNull())
                continue;
            QVERIFY2(!taken.contains(key), qPrintable(QStringLiteral("%1: \"%2\" and \"%3\"")
                                                          .arg(menus.at(m).first, taken.value(key),
                                                               action->text())));
            taken.insert(key, action->text());
        }
    }
    QVERIFY(menus.size() >= 5); // the bar, its four menus and the batch menu
    if (!catalogue.isEmpty())
        QCOMPARE(w.menuBar()->actions().at(0)->text(), QStringLiteral("&Datei"));
}

// Until the operator sorts, the rows follow the list (by address), whatever
// the serial numbers are, and the header shows no sort arrow.
void TestMainWindow::tableStartsInListOrder()
{
    MainWindowFixture f;
    const QList<QPair<quint8, QString>> monitors = {{2, "KV9"}, {5, "KV5"}, {9, "KV1"}};
    for (const auto &[address, serial] : monitors) {
        SimMonitorState state = monitorState(address);
        state.serialNumber = serial;
        QVERIFY(f.bus.addMonitor(state));
    }
    f.writeSettings();
    f.open();
    QVERIFY(f.searchUpTo(9));
    QTRY_COMPARE(f.controller()->monitorAt(2)->serialNumber, QStringLiteral("KV1"));

    QTableView *table = f.tableView();
    QCOMPARE(table->horizontalHeader()->sortIndicatorSection(), -1);
    QStringList shown;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        shown << table->model()->index(row, MonitorModel::SerialColumn).data().toString();
    QCOMPARE(shown, QStringList({"KV9", "KV5", "KV1"}));

    // The operator's click still sorts.
    table->horizontalHeader()->setSortIndicator(MonitorModel::SerialColumn, Qt::AscendingOrder);
    QCOMPARE(table->model()->index(0, MonitorModel::SerialColumn).data().toString(), QStringLiteral("KV1"));
}

void TestMainWindow::sortedClickShowsThatMonitor()
{
    MainWindowFixture f;
    for (quint8 address : {2, 5, 9})
        QVERIFY(f.bus.addMonitor(monitorState(address)));
    f.writeSettings();
    f.open();
    QVERIFY(f.searchUpTo(9));

    QTableView *table = f.tableView();
    table->sortByColumn(4, Qt::DescendingOrder);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rowCentre(table, 0));
    QCOMPARE(int(f.dock()->myMonitor()->address), 9);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rowCentre(table, 2));
    QCOMPARE(int(f.dock()->myMonitor()->address), 2);
    QCOMPARE(f.dock()->myMonitor()->serialNumber, QStringLiteral("KV0002"));
    // A click changes only what the dock shows, not whether it shows.
    f.dock()->hide();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rowCentre(table, 1));
    QCOMPARE(int(f.dock()->myMonitor()->address), 5);
    QVERIFY(f.dock()->isHidden());
}

void TestMainWindow::removeTakesOnlyTheCurrentItem()
{
    MainWindowFixture f;
    for (quint8 address : {2, 5, 9, 11})
        QVERIFY(f.bus.addMonitor(monitorState(address)));
    f.writeSettings();
    f.open();
    QVERIFY(f.searchUpTo(11));
    MController *c = f.controller();

    QTableView *table = f.tableView();
    table->sortByColumn(4, Qt::DescendingOrder); // 11, 9, 5, 2
    selectRows(table, {0, 1, 2});
    table->selectionModel()->setCurrentIndex(table->model()->index(1, 0), QItemSelectionModel::NoUpdate);
    f.action("removeAct")->trigger();
    QCOMPARE(c->monitorCount(), 3);
    QVERIFY(!c->transactionThread()->findMonitor(9));

    // With the icon view shown, its current item goes, not the table's.
    f.action("iconViewAct")->trigger();
    table->selectionModel()->setCurrentIndex(table->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    MIconView *icons = f.iconView();
    icons->setCurrentIndex(icons->model()->index(0, 6)); // address 2
    f.action("removeAct")->trigger();
    QCOMPARE(c->monitorCount(), 2);
    QVERIFY(!c->transactionThread()->findMonitor(2));
    QVERIFY(c->transactionThread()->findMonitor(11));

    // Nothing current: nothing happens.
    icons->setCurrentIndex(QModelIndex());
    f.action("removeAct")->trigger();
    QCOMPARE(c->monitorCount(), 2);
}

void TestMainWindow::selectedAddressesFromTheVisibleView()
{
    MainWindowFixture f;
    for (quint8 address : {3, 7, 12})
        QVERIFY(f.bus.addMonitor(monitorState(address)));
    f.writeSettings();
    MainWindow &w = f.open();
    QVERIFY(f.searchUpTo(12));

    QTableView *table = f.tableView();
    table->sortByColumn(4, Qt::DescendingOrder); // 12, 7, 3
    selectRows(table, {2, 0});
    QCOMPARE(w.selectedAddresses(), QList<quint8>({3, 12}));

    // The icon view shows and has no selection: the table's does not count.
    f.action("iconViewAct")->trigger();
    QCOMPARE(w.selectedAddresses(), QList<quint8>());
    f.iconView()->selectionModel()->select(f.iconView()->model()->index(1, 6), QItemSelectionModel::Select);
    QCOMPARE(w.selectedAddresses(), QList<quint8>({7}));
}

void TestMainWindow::iconsFoundWhileHiddenAreLaidOutWhenShown()
{
    MainWindowFixture f;
    for (quint8 address : {3, 7, 12})
        QVERIFY(f.bus.addMonitor(monitorState(address)));
    f.writeSettings();
    f.open().resize(1200, 700);
    QVERIFY(f.searchUpTo(12));

    f.action("iconViewAct")->trigger();
    MIconView *icons = f.iconView();
    QTRY_VERIFY(icons->width() > 3 * 80);
    // Side by side in rows, not stacked in the column a hidden view had.
    QTRY_COMPARE(icons->visualRect(icons->model()->index(1, 6)).top(),
                 icons->visualRect(icons->model()->index(0, 6)).top());
    QVERIFY(icons->visualRect(icons->model()->index(1, 6)).left()
            > icons->visualRect(icons->model()->index(0, 6)).left());
}

void TestMainWindow::viewSwitchIsStoredAtOnce()
{
    MainWindowFixture f;
    f.writeSettings(QStringLiteral("centerview=5\n"));
    f.open();
    // Any value but 0 shows the icons.
    QVERIFY(f.iconView()->isVisible());
    QVERIFY(!f.tableView()->isVisible());

    f.action("tableViewAct")->trigger();
    QCOMPARE(QSettings("mc422.ini", QSettings::IniFormat).value("centerview").toInt(), 0);
    QVERIFY(f.tableView()->isVisible());
    QVERIFY(!f.iconView()->isVisible());

    f.action("iconViewAct")->trigger();
    QCOMPARE(QSettings("mc422.ini", QSettings::IniFormat).value("centerview").toInt(), 1);
    QVERIFY(f.iconView()->isVisible());

    // Written again even when that view already shows.
    QSettings("mc422.ini", QSettings::IniFormat).setValue("centerview", 7);
    f.action("iconViewAct")->trigger();
    QCOMPARE(QSettings("mc422.ini", QSettings::IniFormat).value("centerview").toInt(), 1);
}

void TestMainWindow::quitAnsweredNoWritesNothing()
{
    MainWindowFixture f;
    f.writeSettings();
    MainWindow &w = f.open();
    const QByteArray before = f.settingsBytes();

    QString seen;
    MainWindowFixture::answerMessageBox(QMessageBox::No, &seen);
    QVERIFY(!w.close());
    QCOMPARE(seen, QStringLiteral("Kelvaro Controller|Do you want to quit now"));
    QVERIFY(w.isVisible());
    QCOMPARE(f.settingsBytes(), before);

    MainWindowFixture::answerMessageBox(QMessageBox::Yes);
    QVERIFY(w.close());
    QSettings settings("mc422.ini", QSettings::IniFormat);
    QVERIFY(settings.contains("pos"));
    QVERIFY(settings.contains("detailview/isvisible"));
}

void TestMainWindow::quitDuringAScriptWaitEndsIt()
{
    MainWindowFixture f;
    f.writeSettings();
    MainWindow &w = f.open();
    QFile script(f.dir.filePath(QStringLiteral("wait.txt")));
    QVERIFY(script.open(QIODevice::WriteOnly) && script.write("@Idle [20000]\n") > 0);
    script.close();

    // The script is chosen; once it waits, the operator quits and says Yes.
    QElapsedTimer clock;
    qint64 quitAt = -1;
    QPointer<QProgressDialog> progress;
    ModalWatcher watcher([&](QWidget *shown) {
        if (auto *chooser = qobject_cast<QFileDialog *>(shown)) {
            chooser->findChild<QLineEdit *>("fileNameEdit")->setText(script.fileName());
            static_cast<QDialog *>(chooser)->accept(); // as its Open button does
            return true;
        }
        auto *dialog = qobject_cast<QProgressDialog *>(shown);
        if (!dialog)
            return false;
        progress = dialog;
        MainWindowFixture::answerMessageBox(QMessageBox::Yes);
        quitAt = clock.elapsed();
        w.close();
        return true;
    });
    // As the application runs: the event loop that closing the last window ends.
    QTimer::singleShot(0, f.action("scriptAct"), &QAction::trigger);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, qApp, &QCoreApplication::quit);
    giveUp.start(30000);
    clock.start();
    QApplication::exec();
    const qint64 endedAt = clock.elapsed();

    QVERIFY(quitAt >= 0);
    QVERIFY(!w.isVisible());
    QVERIFY2(endedAt - quitAt < 1000, qPrintable(QStringLiteral("%1 ms").arg(endedAt - quitAt)));
    QVERIFY(!progress); // the run is over
}

void TestMainWindow::searchDialogRunsToTheEnd()
{
    MainWindowFixture f;
    QVERIFY(f.bus.addMonitor(monitorState(126)));
    f.writeSettings(QString(), 2);
    f.open();
    QLabel *message = f.label("messageLabel");
    QCOMPARE(message->text(), QStringLiteral("Ready"));

    QStringList duringSearch;
    int highestValue = 0;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget())) {
            highestValue = qMax(highestValue, dialog->value());
            if (!duringSearch.contains(message->text()))
                duringSearch << message->text();
            if (duringSearch.size() == 1)
                duringSearch << dialog->windowTitle();
        }
    });
    watch.start(20);
    f.action("searchAct")->trigger(); // returns when the dialog closed itself
    watch.stop();

    QCOMPARE(duringSearch.value(0), QStringLiteral("Searching monitors..."));
    QCOMPARE(duringSearch.value(1), QStringLiteral("Searching monitors"));
    QVERIFY(highestValue >= 100);
    QCOMPARE(message->text(), QStringLiteral("Ready"));
    QVERIFY(!QApplication::activeModalWidget());
    QTRY_COMPARE(f.controller()->monitorCount(), 1);
}

void TestMainWindow::searchDialogCancelled()
{
    MainWindowFixture f;
    for (quint8 address : {10, 45})
        QVERIFY(f.bus.addMonitor(monitorState(address)));
    f.writeSettings(QString(), 2);
    f.open();

    QTimer canceller;
    connect(&canceller, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
        if (dialog && dialog->value() >= 40)
            dialog->cancel();
    });
    canceller.start(5);
    f.action("searchAct")->trigger();
    canceller.stop();

    QCOMPARE(f.label("messageLabel")->text(), QStringLiteral("Ready"));
    QCOMPARE(f.controller()->monitorCount(), 1);
    QCOMPARE(int(f.controller()->monitorAt(0)->address), 10);
    // Polling goes on with what was found.
    f.bus.clearTrace();
    QTRY_VERIFY(f.bus.requestCount() > 3);
}

void TestMainWindow::searchWithAPortThatCannotOpen()
{
    MainWindowFixture f;
    f.open();
    QFile ini("mc422.ini");
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[serial]\nport=/nonexistent/ttyKV0\n");
    ini.close();
    f.label("messageLabel")->setText(QStringLiteral("as it was"));

    QString seen;
    bool progressShown = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        progressShown |= qobject_cast<QProgressDialog *>(QApplication::activeModalWidget()) != nullptr;
    });
    watch.start(5);
    MainWindowFixture::answerMessageBox(QMessageBox::Ok, &seen);
    f.action("searchAct")->trigger();
    watch.stop();

    QCOMPARE(seen, QStringLiteral("Error|Can't open /nonexistent/ttyKV0"));
    QVERIFY(!progressShown);
    QCOMPARE(f.label("messageLabel")->text(), QStringLiteral("as it was"));
}

void TestMainWindow::windowStateSurvivesARestart()
{
    MainWindowFixture f;
    {
        MainWindow &w = f.open();
        QCOMPARE(w.size(), QSize(800, 600));
        QCOMPARE(w.pos(), QPoint(200, 200));
        QVERIFY(f.dock()->isVisible());
        QVERIFY(!f.dock()->isFloating());
        QVERIFY(f.tableView()->isVisible());

        f.dock()->setFloating(true);
        f.dock()->hide();
        w.resize(1000, 900);
        MainWindowFixture::answerMessageBox(QMessageBox::Yes);
        QVERIFY(w.close());
        f.destroyWindow();
    }
    {
        MainWindow &w = f.open();
        QCOMPARE(w.size(), QSize(1000, 900));
        QVERIFY(f.dock()->isHidden());
        f.action("monitorWindowAct")->trigger();
        QVERIFY(f.dock()->isVisible());
        QVERIFY(f.dock()->isFloating());

        // Switch to the icons and end without closing the window.
        f.action("iconViewAct")->trigger();
        f.destroyWindow();
    }
    f.open();
    QVERIFY(f.iconView()->isVisible());
    QVERIFY(!f.tableView()->isVisible());
    // Not closed normally: the dock's last state was never written.
    QVERIFY(f.dock()->isHidden());
}

void TestMainWindow::statusBarCountsAlarms()
{
    MainWindowFixture f;
    SimMonitorState muted = monitorState(5);
    muted.alarm = 0x08;
    QVERIFY(f.bus.addMonitor(muted));
    QVERIFY(f.bus.addMonitor(monitorState(6)));
    f.writeSettings(QStringLiteral("[alarm]\ntone=0\n"));
    f.open();
    QLabel *count = f.label("countLabel");
    QLabel *alarms = f.label("alarmLabel");
    auto colour = [alarms] { return alarms->palette().color(QPalette::Active, QPalette::WindowText); };
    QCOMPARE(count->text(), QStringLiteral("0 Monitors"));
    QCOMPARE(alarms->text(), QStringLiteral("0 Alarming"));
    QCOMPARE(colour(), QColor(Qt::black));

    QVERIFY(f.searchUpTo(6));
    QTRY_COMPARE(alarms->text(), QStringLiteral("1 Alarming"));
    QCOMPARE(count->text(), QStringLiteral("2 Monitors"));
    QCOMPARE(colour(), QColor(Qt::red));
    QCOMPARE(alarms->palette().color(QPalette::Inactive, QPalette::WindowText), QColor(Qt::red));

    QVERIFY(f.bus.setAlarm(6, 0x02));
    QTRY_COMPARE(alarms->text(), QStringLiteral("2 Alarming"));

    // Switching the mute alarm off in the options counts at once.
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (QCheckBox *box : dialog->findChildren<QCheckBox *>())
            if (box->text() == QLatin1String("Audio mute alarm"))
                box->setChecked(false);
        dialog->accept();
        answer.stop();
    });
    answer.start(10);
    f.action("optionAct")->trigger();
    QCOMPARE(alarms->text(), QStringLiteral("1 Alarming"));
    QVERIFY(f.bus.setAlarm(6, 0x00));
    QTRY_COMPARE(alarms->text(), QStringLiteral("0 Alarming"));
    QCOMPARE(colour(), QColor(Qt::black));

    QVERIFY(f.controller()->removeMonitor(f.controller()->monitorAt(0)));
    QCOMPARE(count->text(), QStringLiteral("1 Monitors"));
}

// The link label: plain while the link is fine, bold red with the port and
// the time the fault began while it is lost, plain again once it is back.
void TestMainWindow::linkLabelFollowsTheLink()
{
    MainWindowFixture f;
    const QString link = f.linkBus();
    QVERIFY(f.bus.addMonitor(monitorState(3)));
    f.writeSettings();
    f.open();
    QVERIFY(f.searchUpTo(3));
    QLabel *label = f.label("linkLabel");
    QCOMPARE(label->text(), QStringLiteral("Link OK"));
    QVERIFY(!label->font().bold());
    const QColor plain = label->palette().color(QPalette::WindowText);
    QVERIFY(plain != QColor(Qt::red));

    const QTime before = QTime::currentTime().addMSecs(-1000);
    QVERIFY(f.bus.vanish());
    QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith(QStringLiteral("Link lost: %1 since ").arg(link)), 1000);
    const QTime since = QTime::fromString(label->text().section(QLatin1Char(' '), -1), QStringLiteral("HH:mm:ss"));
    QVERIFY2(since.isValid() && since >= before.addMSecs(-before.msec()) && since <= QTime::currentTime(),
             qPrintable(label->text()));
    QVERIFY(label->font().bold());
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::red));

    QVERIFY(f.bus.reappear());
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("Link OK"), 3000);
    QVERIFY(!label->font().bold());
    QCOMPARE(label->palette().color(QPalette::WindowText), plain);
}

void TestMainWindow::batchPowerFollowsTheSelection()
{
    MainWindowFixture f;
    for (quint8 address : {3, 7, 12})
        QVERIFY(f.bus.addMonitor(monitorState(address)));
    f.writeSettings();
    f.open();
    QVERIFY(f.searchUpTo(12));

    auto powerFrames = [&f] {
        QStringList frames;
        for (const SimTraceEntry &entry : f.bus.trace())
            if (entry.kind == SimTraceEntry::Request && entry.bytes.size() == 4
                && quint8(entry.bytes.at(1)) == 0xD0)
                frames << QString::fromLatin1(entry.bytes.toHex(' '));
        return frames;
    };

    QTableView *table = f.tableView();
    table->sortByColumn(4, Qt::DescendingOrder); // 12, 7, 3
    selectRows(table, {1, 2, 0});
    f.bus.clearTrace();
    f.action("powerOffAct")->trigger();
    QTRY_COMPARE(powerFrames().size(), 3);
    QCOMPARE(powerFrames(), QStringList({"87 d0 00 fe", "83 d0 00 fe", "8c d0 00 fe"}));
    QTRY_VERIFY(!(f.bus.monitor(3)->power || f.bus.monitor(7)->power || f.bus.monitor(12)->power));

    selectRows(table, {2});
    f.bus.clearTrace();
    f.action("powerOnAct")->trigger();
    QTRY_COMPARE(powerFrames(), QStringList({"83 d0 00 ff"}));

    // The icon view shows with nothing selected: the table's selection does
    // not count, and nothing is sent.
    selectRows(table, {0, 1});
    f.action("iconViewAct")->trigger();
    f.bus.clearTrace();
    f.action("powerOnAct")->trigger();
    f.action("powerOffAct")->trigger();
    QTest::qWait(200);
    QCOMPARE(powerFrames(), QStringList());
}

void TestMainWindow::logFolderAndAboutBox()
{
    MainWindowFixture f;
    f.writeSettings(QStringLiteral("[log]\nlogpath=%1/logs\n").arg(f.dir.path()));
    f.open();

    // The desktop's file browser is whatever "xdg-open" is on the path; this
    // one writes down what it was asked to open, after a pause that the
    // window must wait out.
    const QString bin = f.dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QFile opener(bin + QStringLiteral("/xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nsleep 0.3\necho \"$@\" > \"$(dirname \"$0\")/opened\"\n");
    opener.close();
    opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toLocal8Bit() + ':' + path);
    f.action("openLogAct")->trigger();
    qputenv("PATH", path);
    QFile opened(bin + QStringLiteral("/opened"));
    QVERIFY(opened.open(QIODevice::ReadOnly)); // already there: the slot waited
    QCOMPARE(opened.readAll().trimmed(), (f.dir.path() + QStringLiteral("/logs")).toLocal8Bit());

    // The about box: the website address is never broken across lines,
    // so its label is at least as wide as the address.
    QString seen;
    int labelWidth = -1;
    int addressWidth = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        seen = box->windowTitle() + QLatin1Char('|') + box->text();
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text().contains(QLatin1String("kelvaro.example"))) {
                labelWidth = label->width();
                addressWidth = label->fontMetrics().horizontalAdvance(
                    QStringLiteral("https://www.kelvaro.example"));
            }
        }
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(10);
    QTest::keyClick(f.window.get(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(seen, QStringLiteral("Kelvaro Controller|Version: 0.7.5"));
    QVERIFY2(labelWidth >= addressWidth, qPrintable(QStringLiteral("%1 < %2").arg(labelWidth).arg(addressWidth)));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
