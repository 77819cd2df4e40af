// The main window as an operator meets it: keys and menus, the two views and
// the dock, removal and batch power, the search dialog, the quit question,
// the status bar and the window state that survives a restart.
#include "tests/support/mainwindowfixture.h"

#include "monitor/cmonitor.h"
#include "monitor/model/monitormodel.h"
#include "tests/support/modalwatcher.h"
#include "tools/sim/simmonitor.h"
#include "transport/rsthread.h"

#include <QtTest>
#include <QtWidgets>

namespace {

constexpr int Icon = MonitorModel::IconColumn;

// Selects rows of the table one after another, as Ctrl+clicks would, and
// makes `current` the current row.
void selectRows(QTableView *view, const QList<int> &rows, int current)
{
    view->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->setCurrentIndex(view->model()->index(current, 0), QItemSelectionModel::NoUpdate);
}

// The power key frames (on 0xff, off 0xfe) in the trace of the wire.
QStringList powerFrames(SimBus &bus)
{
    QStringList frames;
    for (const SimTraceEntry &entry : bus.trace()) {
        if (entry.kind == SimTraceEntry::Request && entry.bytes.size() == 4
            && quint8(entry.bytes.at(1)) == 0xD0 && quint8(entry.bytes.at(3)) >= 0xFE)
            frames << QString::fromLatin1(entry.bytes.toHex(' '));
    }
    return frames;
}

// Presses the key on the window; whatever modal dialog comes up meanwhile is
// handed to watch every few ms.
void press(QWidget *window, const QKeySequence &key, const std::function<void(QWidget *)> &watch = {})
{
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget *dialog = QApplication::activeModalWidget())
            watch(dialog);
    });
    if (watch)
        poll.start(5);
    window->activateWindow(); // a shortcut reaches the active window only
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keySequence(window, key);
}

void answer(QWidget *box, QMessageBox::StandardButton button)
{
    qobject_cast<QMessageBox *>(box)->button(button)->click();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // Alt plus a letter must reach one entry only, in every menu and the
    // bar, in the source language and in German.
    void mnemonicsUniqueInEveryMenu()
    {
        const QString german = qEnvironmentVariable("KC_BIN_DIR") + "/kelvaro-controller_de.qm";
        for (const QString &catalogue : {QString(), german}) {
            QTranslator translator;
            QVERIFY(catalogue.isEmpty() || translator.load(catalogue));
            QCoreApplication::installTranslator(&translator);
            MainWindowFixture f;
            f.writeSettings();
            MainWindow &w = f.open();
            QCoreApplication::removeTranslator(&translator);
            QList<QList<QAction *>> menus = {w.menuBar()->actions()};
            for (int m = 0; m < menus.size(); ++m) {
                QMap<QKeySequence, QString> taken;
                for (QAction *action : menus.at(m)) {
                    if (action->menu())
                        menus << action->menu()->actions();
                    else // every command shows its icon: the resources are built in
                        QVERIFY2(action->isSeparator() || !action->icon().pixmap(16).isNull(),
                                 qPrintable(action->text()));
                    const QKeySequence key = QKeySequence::mnemonic(action->text());
                    QVERIFY2(key.isEmpty() || !taken.contains(key),
                             qPrintable(taken.value(key) + " / " + action->text()));
                    taken.insert(key, action->text());
                }
            }
            QVERIFY(menus.size() >= 5); // the bar, its four menus and the batch menu
            QCOMPARE(w.menuBar()->actions().at(0)->text(), catalogue.isEmpty() ? "&File" : "&Datei");
        }
    }

    // Rows follow the list until the operator sorts; a click shows that row's
    // monitor in the dock; batch power and Remove act on the visible view;
    // the layout actions write and read poslist.pon.
    void monitorsInTheViews()
    {
        MainWindowFixture f;
        for (quint8 address : {2, 5, 9, 11}) { // serial numbers against the address order
            SimMonitorState state = SimMonitor::defaultState(address);
            state.serialNumber = QStringLiteral("KV%1").arg(20 - address);
            QVERIFY(f.bus.addMonitor(state));
        }
        QVERIFY(f.startWith({2, 5, 9, 11}));
        f.window->resize(1200, 700);
        QTableView *table = f.table();
        QVERIFY(table->horizontalHeader()->sortIndicatorSection() == -1 && table->isColumnHidden(Icon));
        QCOMPARE(table->model()->index(3, MonitorModel::SerialColumn).data().toString(), QStringLiteral("KV9"));
        // Sorted as a click on the header does: only while sorting is enabled.
        table->horizontalHeader()->setSortIndicator(MonitorModel::AddressColumn, Qt::DescendingOrder);
        const auto clickRow = [table](int row) {
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                              table->visualRect(table->model()->index(row, 0)).center());
        };
        clickRow(3);
        QCOMPARE(f.dock()->myMonitor()->serialNumber, QStringLiteral("KV18"));
        f.dock()->hide(); // a click changes only what the dock shows, not whether it shows
        clickRow(1);
        QVERIFY(f.dock()->myMonitor()->address == 9 && f.dock()->isHidden());

        selectRows(table, {1, 3, 0}, 1);
        f.bus.clearTrace();
        f.action("powerOffAct")->trigger(); // in selection order
        QTRY_COMPARE(powerFrames(f.bus), QStringList({"89 d0 00 fe", "82 d0 00 fe", "8b d0 00 fe"}));
        press(f.window.get(), QKeySequence(Qt::CTRL | Qt::Key_R)); // the current row only
        QVERIFY(f.controller()->monitorCount() == 3 && !f.controller()->transactionThread()->findMonitor(9));

        // Icons found while the table showed are laid out side by side once shown.
        f.action("iconViewAct")->trigger();
        MIconView *icons = f.icons();
        const auto place = [icons](int row) { return icons->visualRect(icons->model()->index(row, Icon)); };
        QTRY_VERIFY(icons->width() > 3 * 80);
        QTRY_COMPARE(place(1).top(), place(0).top());
        QVERIFY(place(1).left() > place(0).left());
        // Nothing selected there: the table's selection does not count, as a
        // short wait with nothing sent proves.
        f.bus.clearTrace();
        f.action("powerOnAct")->trigger();
        QTest::qWait(200);
        QCOMPARE(powerFrames(f.bus), QStringList());
        icons->selectionModel()->select(icons->model()->index(1, Icon), QItemSelectionModel::Select); // 5
        f.action("powerOnAct")->trigger();
        QTRY_COMPARE(powerFrames(f.bus), QStringList({"85 d0 00 ff"}));
        icons->setCurrentIndex(icons->model()->index(0, Icon)); // 2, not the table's current row
        f.action("removeAct")->trigger();
        QVERIFY(f.controller()->monitorCount() == 2 && !f.controller()->transactionThread()->findMonitor(2));

        f.action("saveLayoutAct")->trigger();
        QFile file(MIconView::positionFilePath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.readAll().left(5).toHex(), QByteArray("000000020b")); // count, highest first
        QVERIFY(file.seek(0) && file.write(QByteArray::fromHex("00000001" "0b" "000000c8" "0000012c")));
        file.close();
        f.action("restoreLayoutAct")->trigger();
        QTRY_COMPARE(place(1).topLeft(), QPoint(200, 300));
    }

    // No to the quit question writes nothing; Yes stores size and dock, and
    // ends a script that waits meanwhile at once. The centre view is stored
    // as it is switched, so it survives a killed process too.
    void windowStateSurvivesARestart()
    {
        MainWindowFixture f;
        f.writeSettings(QStringLiteral("centerview=5\n"));
        MainWindow *w = &f.open();
        const auto stored = [] { return QSettings("mc422.ini", QSettings::IniFormat).value("centerview").toInt(); };
        QVERIFY(f.icons()->isVisible() && !f.table()->isVisible()); // any value but 0 shows the icons
        QVERIFY(f.dock()->isVisible() && !f.dock()->isFloating());
        f.dock()->setFloating(true);
        press(w, QKeySequence(Qt::CTRL | Qt::Key_D)); // hides the dock
        w->resize(1000, 900);
        f.action("tableViewAct")->trigger();
        QCOMPARE(stored(), 0);
        const QByteArray before = f.dir.readIni();
        QString seen;
        press(w, QKeySequence(Qt::CTRL | Qt::Key_Q), [&](QWidget *box) {
            seen = box->windowTitle() + '|' + box->property("text").toString();
            answer(box, QMessageBox::No);
        });
        QVERIFY(seen == QLatin1String("Kelvaro Controller|Do you want to quit now") && w->isVisible());
        QCOMPARE(f.dir.readIni(), before);

        // A script waits; the operator quits and says Yes: the wait ends at once.
        QFile script(f.dir.filePath(QStringLiteral("wait.txt")));
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write("@Idle [20000]\n") > 0);
        script.close();
        QElapsedTimer clock;
        QPointer<QProgressDialog> progress;
        ModalWatcher yes([](QWidget *box) { // the quit question, asked from inside the handler below
            return qobject_cast<QMessageBox *>(box) && (answer(box, QMessageBox::Yes), true);
        });
        ModalWatcher watcher([&](QWidget *shown) {
            auto *chooser = qobject_cast<QFileDialog *>(shown);
            if (chooser) {
                chooser->findChild<QLineEdit *>("fileNameEdit")->setText(script.fileName());
                static_cast<QDialog *>(chooser)->accept(); // as its Open button does
            } else if ((progress = qobject_cast<QProgressDialog *>(shown))) {
                clock.start();
                w->close();
            }
            return chooser || progress;
        });
        press(w, QKeySequence(Qt::CTRL | Qt::Key_T)); // returns when the run is over
        QVERIFY(clock.isValid() && !w->isVisible() && !progress);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));

        w = &f.open();
        QCOMPARE(w->size(), QSize(1000, 900));
        QVERIFY(f.table()->isVisible() && !f.icons()->isVisible() && f.dock()->isHidden());
        f.action("monitorWindowAct")->trigger();
        QVERIFY(f.dock()->isVisible() && f.dock()->isFloating());
        QSettings("mc422.ini", QSettings::IniFormat).setValue("centerview", 7);
        f.action("tableViewAct")->trigger(); // written again even when that view already shows
        QCOMPARE(stored(), 0);
        f.action("iconViewAct")->trigger();
        QCOMPARE(stored(), 1);
        f.window.reset(); // as a killed process ends: no close event
        f.open();
        QVERIFY(f.icons()->isVisible() && !f.table()->isVisible());
        QVERIFY(f.dock()->isHidden()); // the dock's last state was never written
    }

    // Cancelled, the search keeps what it found and polling goes on; run to
    // the end, it probes every address; a port that cannot open is reported
    // before any progress shows.
    void searchDialog()
    {
        MainWindowFixture f;
        for (quint8 address : {10, 45, 126})
            QVERIFY(f.bus.addMonitor(address));
        f.writeSettings(QString(), 2);
        f.open();
        press(f.window.get(), Qt::Key_F5, [](QWidget *dialog) {
            if (static_cast<QProgressDialog *>(dialog)->value() >= 40)
                static_cast<QProgressDialog *>(dialog)->cancel();
        });
        const int polled = f.bus.monitor(10)->requests; // polling goes on with what was found...
        QTRY_VERIFY(f.bus.monitor(10)->requests > polled + 3);
        QVERIFY(f.controller()->monitorCount() == 1); // ...and the search does not

        QLabel *message = f.w("messageLabel");
        QString during;
        int highest = 0;
        press(f.window.get(), Qt::Key_F5, [&](QWidget *dialog) {
            highest = qMax(highest, static_cast<QProgressDialog *>(dialog)->value());
            during = message->text();
        });
        QCOMPARE(during + '|' + message->text(), QStringLiteral("Searching monitors...|Ready"));
        QVERIFY(highest >= 100);
        QTRY_COMPARE(f.controller()->monitorCount(), 3);

        QVERIFY(f.dir.writeIni("[serial]\nport=/nonexistent/ttyKV0\n"));
        QString seen;
        press(f.window.get(), Qt::Key_F5, [&](QWidget *box) {
            seen += box->windowTitle() + '|' + box->property("text").toString();
            answer(box, QMessageBox::Ok);
        });
        QCOMPARE(seen, QStringLiteral("Error|Can't open /nonexistent/ttyKV0"));
    }

    // The counts, the alarm count in red while there is one, and the link:
    // plain while fine, bold red with the port and the time the fault began
    // while lost.
    void statusBar()
    {
        MainWindowFixture f;
        const QString link = f.linkBus();
        SimMonitorState muted = SimMonitor::defaultState(5);
        muted.alarm = 0x08;
        QVERIFY(f.bus.addMonitor(muted));
        QVERIFY(f.startWith({5, 6}, QStringLiteral("[alarm]\ntone=0\n")));
        QLabel *count = f.w("countLabel");
        QLabel *alarms = f.w("alarmLabel");
        QLabel *label = f.w("linkLabel");
        const auto red = [](QLabel *label, QPalette::ColorGroup group = QPalette::Active) {
            return label->palette().color(group, QPalette::WindowText) == QColor(Qt::red);
        };
        QTRY_COMPARE(alarms->text(), QStringLiteral("1 Alarming"));
        QCOMPARE(count->text(), QStringLiteral("2 Monitors"));
        QVERIFY(red(alarms) && red(alarms, QPalette::Inactive));
        QVERIFY(f.bus.setAlarm(6, 0x02));
        QTRY_COMPARE(alarms->text(), QStringLiteral("2 Alarming"));
        // Switching the mute alarm off in the options counts at once.
        press(f.window.get(), QKeySequence(Qt::CTRL | Qt::Key_O), [](QWidget *dialog) {
            for (QCheckBox *box : dialog->findChildren<QCheckBox *>())
                box->setChecked(box->isChecked() && box->text() != QLatin1String("Audio mute alarm"));
            ModalWatcher::click(dialog, "OK");
        });
        QCOMPARE(alarms->text(), QStringLiteral("1 Alarming"));
        QVERIFY(f.bus.setAlarm(6, 0x00));
        QTRY_COMPARE(alarms->text(), QStringLiteral("0 Alarming"));
        QCOMPARE(alarms->palette().color(QPalette::WindowText), QColor(Qt::black));
        QVERIFY(f.controller()->removeMonitor(f.controller()->monitorAt(0)));
        QCOMPARE(count->text(), QStringLiteral("1 Monitors"));

        QVERIFY(label->text() == QLatin1String("Link OK") && !label->font().bold() && !red(label));
        QVERIFY(f.bus.vanish());
        const QRegularExpression lost("^Link lost: " + QRegularExpression::escape(link)
                                      + " since (\\d\\d:\\d\\d:\\d\\d)$");
        QTRY_VERIFY_WITH_TIMEOUT(lost.match(label->text()).hasMatch(), 1000);
        const QTime since = QTime::fromString(lost.match(label->text()).captured(1), QStringLiteral("HH:mm:ss"));
        QVERIFY2(qAbs(since.secsTo(QTime::currentTime())) <= 3 && label->font().bold() && red(label),
                 qPrintable(label->text()));
        QVERIFY(f.bus.reappear());
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("Link OK"), 3000);
        QVERIFY(!label->font().bold() && !red(label));
    }

    // The log folder goes to the desktop's file browser, whatever "xdg-open"
    // is on the path: this one writes down what it was asked to open, after
    // a pause the window must wait out. The about box never breaks the
    // website address across lines.
    void logFolderAndAboutBox()
    {
        MainWindowFixture f;
        f.writeSettings(QStringLiteral("[log]\nlogpath=%1/logs\n").arg(f.dir.path()));
        f.open();
        QFile opener(f.dir.filePath(QStringLiteral("xdg-open")));
        QVERIFY(opener.open(QIODevice::WriteOnly) && opener.write("#!/bin/sh\nsleep 0.3\necho \"$@\" > opened\n") > 0);
        opener.close();
        opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", f.dir.path().toLocal8Bit() + ':' + path);
        f.action("openLogAct")->trigger();
        qputenv("PATH", path);
        QFile opened(f.dir.filePath(QStringLiteral("opened")));
        QVERIFY(opened.open(QIODevice::ReadOnly)); // already there: the slot waited
        QCOMPARE(opened.readAll().trimmed(), (f.dir.path() + QStringLiteral("/logs")).toLocal8Bit());

        int labelWidth = -1;
        int addressWidth = 0;
        press(f.window.get(), QKeySequence(Qt::CTRL | Qt::Key_A), [&](QWidget *box) {
            for (QLabel *label : box->findChildren<QLabel *>()) {
                if (label->text().contains(QLatin1String("kelvaro.example"))) {
                    labelWidth = label->width();
                    addressWidth = label->fontMetrics().horizontalAdvance("https://www.kelvaro.example");
                }
            }
            answer(box, QMessageBox::Ok);
        });
        QVERIFY2(labelWidth >= addressWidth && addressWidth > 0,
                 qPrintable(QStringLiteral("%1 < %2").arg(labelWidth).arg(addressWidth)));
    }

    // With "Search the bus at start-up" on, the window searches once it
    // runs, as F5 does: the progress dialog over the window, every address
    // probed, the dialog closing by itself; a port that cannot open is
    // reported in the same box. Off, or without the key, nothing is sent.
    void searchAtStartUp_data()
    {
        QTest::addColumn<QString>("startup");
        QTest::addColumn<bool>("searches");
        QTest::newRow("no key") << QString() << false;
        QTest::newRow("off") << QStringLiteral("[startup]\nsearch=false\n") << false;
        QTest::newRow("on") << QStringLiteral("[startup]\nsearch=true\n") << true;
    }
    void searchAtStartUp()
    {
        QFETCH(QString, startup);
        QFETCH(bool, searches);
        MainWindowFixture f;
        for (quint8 address : {10, 45, 100})
            QVERIFY(f.bus.addMonitor(address));
        f.writeSettings(startup, 20);
        f.bus.clearTrace();

        QString progressTitle;
        int highest = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget())) {
                progressTitle = dialog->windowTitle();
                highest = qMax(highest, dialog->value());
            }
        });
        poll.start(5);
        f.open();
        QLabel *message = f.w("messageLabel");
        const auto logText = [&] {
            QFile log(f.controller()->logFileName());
            return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
        };
        if (!searches) {
            QTest::qWait(1500);
            QCOMPARE(f.bus.requestCount(), 0);
            QCOMPARE(f.controller()->monitorCount(), 0);
            QVERIFY(!logText().contains(QLatin1String("[SEARCH]")));
            QCOMPARE(progressTitle, QString());
            QCOMPARE(f.dir.readIni().contains("[startup]"), !startup.isEmpty());
            return;
        }
        QVERIFY2(QTest::qWaitFor([&] { return logText().contains(QLatin1String("[SEARCH]: END - 3 FOUND")); }, 40000),
                 qPrintable(logText() + QString::number(highest)));
        QTRY_COMPARE(message->text(), QStringLiteral("Ready"));
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(progressTitle, QStringLiteral("Searching monitors"));
        QVERIFY(highest >= 100);
        QCOMPARE(f.controller()->monitorCount(), 3);
        QCOMPARE(logText().count(QLatin1String("[SEARCH]: START...")), 1);
        // Polling goes on after it, as after F5.
        const int polled = f.bus.monitor(45)->requests;
        QTRY_VERIFY(f.bus.monitor(45)->requests > polled + 3);

        // A port that cannot be opened: F5's box, over the window.
        f.window.reset();
        QVERIFY(f.dir.writeIni("[startup]\nsearch=true\n[serial]\nport=/nonexistent/ttyKV0\n"));
        QString seen;
        QTimer boxes;
        QObject::connect(&boxes, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen += box->windowTitle() + '|' + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        boxes.start(5);
        f.open();
        QTRY_COMPARE(seen, QStringLiteral("Error|Can't open /nonexistent/ttyKV0"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
