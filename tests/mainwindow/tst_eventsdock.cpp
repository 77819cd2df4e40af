// The events dock of the main window against the log files the same run
// writes: the same lines, newest first, through its filters, up to its cap,
// and an event loop that keeps turning while a flapping bus logs hundreds of
// lines a second.
#include "tests/support/loopgapmeter.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/modalwatcher.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>

namespace {

// Every line of this run's log files in the directory, oldest first.
QStringList fileLines(const QString &dir)
{
    QStringList lines;
    const QStringList names = QDir(dir).entryList({QStringLiteral("mc_*.log")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(QDir(dir).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(name));
        QStringList fileLines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        if (fileLines.last().isEmpty())
            fileLines.removeLast();
        lines << fileLines;
    }
    return lines;
}

QStringList newestFirst(QStringList lines)
{
    std::reverse(lines.begin(), lines.end());
    return lines;
}

QStringList matching(const QStringList &lines, const QString &pattern)
{
    return lines.filter(QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption));
}

// The lines the dock's list shows, top to bottom.
QStringList shown(const QListView *view)
{
    QStringList lines;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        lines << view->model()->index(row, 0).data().toString();
    return lines;
}

struct Dock {
    explicit Dock(const MainWindowFixture &f)
        : dock(f.w<QDockWidget>("eventsDock"))
        , list(f.w<QListView>("eventList"))
        , tag(f.w<QComboBox>("eventTagFilter"))
        , address(f.w<QSpinBox>("eventAddressFilter"))
        , text(f.w<QLineEdit>("eventTextFilter"))
    {
    }
    void show(QAction *toggle)
    {
        if (!dock->isVisible())
            toggle->trigger();
    }
    void setTag(const QString &caption) { tag->setCurrentIndex(tag->findText(caption)); }

    QDockWidget *dock;
    QListView *list;
    QComboBox *tag;
    QSpinBox *address;
    QLineEdit *text;
};

void quitSayingYes(MainWindowFixture &f)
{
    ModalWatcher yes([](QWidget *box) {
        auto *question = qobject_cast<QMessageBox *>(box);
        return question && (question->button(QMessageBox::Yes)->click(), true);
    });
    f.window->close();
    QTRY_VERIFY(!f.window->isVisible());
    f.window.reset();
}

// Log lines as a busy bus writes them: alarms, errors, zombies over all
// addresses.
QString busLine(int n)
{
    const int address = 1 + n % 126;
    switch (n % 3) {
    case 0: return QStringLiteral("[ALARM]: STATE(ALARM<[AUDIO MUTE]>) - SN(KV%1) - ADDRESS(%1)").arg(address);
    case 1: return QStringLiteral("[ERROR]: CMD(STATUS) - MSG(TIMEOUT) - ADDR(%1)").arg(address);
    default: return QStringLiteral("[MONITOR]: ZOMBIE - SN(KV%1) - ADDRESS(%1) - #%2").arg(address).arg(n);
    }
}

} // namespace

class TestEventsDock : public QObject
{
    Q_OBJECT

private slots:
    // A search, alarms, a monitor that stops answering and one removed: the
    // dock lists exactly the lines of the log file, newest first, each tag
    // in a colour of its own; the filters pick what the log holds. Hidden
    // at first; shown, it is shown again after a restart, and hidden again
    // it leaves no trace in mc422.ini.
    void showsTheLogAndFiltersIt()
    {
        MainWindowFixture f;
        QVERIFY(f.startWith({3, 7, 12}));
        Dock d(f);
        QVERIFY(!d.dock->isVisible());
        QVERIFY(f.w<QMenu>("viewMenu")->actions().contains(f.action("eventsAct")));
        d.show(f.action("eventsAct"));
        QVERIFY(d.dock->isVisible());

        QVERIFY(f.bus.setAlarm(7, 0x08) && f.bus.setAlarm(12, 0x08));
        QTRY_COMPARE(f.controller()->alarmCount(), 2);
        QVERIFY(f.bus.setAlarm(7, 0));
        QVERIFY(f.bus.setFault(12, SimFault(SimFault::Silence)));
        QTRY_VERIFY(!matching(fileLines(f.dir.path()), "ZOMBIE.*ADDRESS\\(12\\)").isEmpty()
                    && matching(fileLines(f.dir.path()), "\\[ALARM\\]").size() == 3);
        f.controller()->removeMonitor(f.controller()->monitorAt(0));

        const QStringList file = fileLines(f.dir.path());
        QVERIFY2(file.size() >= 10, qPrintable(file.join('\n')));
        QCOMPARE(file.first().mid(19), QStringLiteral(" - Log file created."));
        QTRY_COMPARE(shown(d.list), newestFirst(file));
        QCOMPARE(f.w<QLabel>("eventCount")->text(), QStringLiteral("%1 of %1 lines").arg(file.size()));

        // One colour per tag, a different one for each.
        QMap<QString, QColor> colours;
        for (int row = 0; row < d.list->model()->rowCount(); ++row) {
            const QModelIndex index = d.list->model()->index(row, 0);
            const QString tag = index.data().toString().section(QLatin1String(" - "), 1).section(']', 0, 0);
            const QColor colour = index.data(Qt::ForegroundRole).value<QColor>();
            QVERIFY(colour.isValid());
            QCOMPARE(colours.value(tag, colour), colour);
            colours.insert(tag, colour);
        }
        QCOMPARE(colours.size(), 5); // untagged, search, monitor, alarm, error
        QSet<QRgb> distinct;
        for (const QColor &colour : colours)
            distinct << colour.rgb();
        QCOMPARE(distinct.size(), colours.size());

        const QStringList all = newestFirst(file);
        d.setTag(QStringLiteral("[ALARM]"));
        QCOMPARE(shown(d.list), matching(all, "^\\S+ \\S+ - \\[ALARM\\]"));
        QCOMPARE(shown(d.list).size(), 3);
        d.setTag(QStringLiteral("All"));
        d.address->setValue(12); // the error line says ADDR(12), the others ADDRESS(12)
        QCOMPARE(shown(d.list), matching(all, "ADDR(ESS)?\\(12\\)"));
        QVERIFY(!matching(shown(d.list), "\\[ERROR\\].*ADDR\\(12\\)").isEmpty());
        d.address->setValue(0);
        ModalWatcher::retype(d.text, QStringLiteral("zombie"));
        QCOMPARE(shown(d.list), matching(all, "ZOMBIE")); // others may have missed a poll on a busy machine
        QVERIFY(!matching(shown(d.list), "ZOMBIE.*ADDRESS\\(12\\)").isEmpty());
        d.setTag(QStringLiteral("[MONITOR]"));
        d.address->setValue(12);
        ModalWatcher::retype(d.text, QStringLiteral("sn("));
        QCOMPARE(shown(d.list), matching(all, "\\[MONITOR\\].*SN\\(.*ADDRESS\\(12\\)")); // found and zombie
        QCOMPARE(shown(d.list).size(), 2);
        d.address->setValue(3);
        QCOMPARE(shown(d.list), matching(all, "\\[MONITOR\\].*ADDRESS\\(3\\)"));
        QVERIFY(shown(d.list).first().contains(QLatin1String("REMOVED")));
        // A line that arrives under a filter is filtered too.
        const int before = shown(d.list).size();
        f.controller()->logMsg(QStringLiteral("[MONITOR]: NOTE - SN(x) - ADDRESS(3)"));
        f.controller()->logMsg(QStringLiteral("[MONITOR]: NOTE - SN(x) - ADDRESS(4)"));
        QTRY_COMPARE(shown(d.list).size(), before + 1);
        QVERIFY(shown(d.list).first().endsWith(QLatin1String("NOTE - SN(x) - ADDRESS(3)")));
        d.setTag(QStringLiteral("All"));
        d.address->setValue(0);
        d.text->clear();
        QCOMPARE(shown(d.list), newestFirst(fileLines(f.dir.path())));

        quitSayingYes(f);
        QVERIFY(f.dir.readIni().contains("[eventview]"));
        f.open();
        Dock again(f);
        QVERIFY(again.dock->isVisible());
        f.action("eventsAct")->trigger();
        QVERIFY(!again.dock->isVisible());
        quitSayingYes(f);
        QVERIFY(!f.dir.readIni().contains("eventview"));
    }

    // Past 10,000 lines the oldest go: the dock holds exactly the newest
    // 10,000 of the files' lines, the rotations' closing and opening lines
    // among them. Lines come in small batches and in one burst larger than
    // the cap.
    void holdsTheNewestTenThousand()
    {
        MainWindowFixture f;
        f.writeSettings(QStringLiteral("[log]\nlogsize=300000\n"));
        f.open();
        Dock d(f);
        d.show(f.action("eventsAct"));
        MController *c = f.controller();
        int n = 0;
        for (; n < 3000; ++n) {
            c->logMsg(busLine(n));
            if (n % 100 == 0)
                QTest::qWait(1);
        }
        QTRY_COMPARE(shown(d.list), newestFirst(fileLines(f.dir.path())));
        for (; n < 13500; ++n) // no event loop in between
            c->logMsg(busLine(n));
        QTest::qWait(200);
        const QStringList file = fileLines(f.dir.path());
        QVERIFY2(file.filter(QStringLiteral(" - Log file closed")).size() >= 2, "no rotation");
        QCOMPARE(d.list->model()->rowCount(), 10000);
        QCOMPARE(shown(d.list), newestFirst(file.mid(file.size() - 10000)));
        QCOMPARE(f.w<QLabel>("eventCount")->text(), QStringLiteral("10000 of 10000 lines"));
    }

    // A flapping bus logs more than 500 lines a second for three seconds
    // into a full dock with a filter set: the event loop never stands still
    // for 100 ms. The operator who scrolled down to read keeps the line he
    // reads; at the top, the newest line is shown.
    void staysResponsiveWhileLinesPourIn()
    {
        MainWindowFixture f;
        f.writeSettings();
        f.open();
        f.window->resize(1000, 800);
        Dock d(f);
        d.show(f.action("eventsAct"));
        MController *c = f.controller();
        int n = 0;
        for (; n < 10000; ++n)
            c->logMsg(busLine(n));
        QTRY_COMPARE(d.list->model()->rowCount(), 10000);
        d.setTag(QStringLiteral("[MONITOR]"));
        QTRY_VERIFY(d.list->model()->rowCount() > 3000);
        d.list->scrollTo(d.list->model()->index(500, 0), QAbstractItemView::PositionAtTop);
        QTest::qWait(50);
        const QString reading = d.list->indexAt(QPoint(1, 1)).data().toString();
        QVERIFY(!reading.isEmpty());

        // Lines at a steady 600 a second, whatever the timer's jitter.
        constexpr int RatePerS = 600;
        constexpr int Ms = 3000;
        QElapsedTimer clock;
        QTimer feed;
        const int first = n;
        QObject::connect(&feed, &QTimer::timeout, [&] {
            while (n - first < clock.elapsed() * RatePerS / 1000)
                c->logMsg(busLine(n++));
        });
        LoopGapMeter meter;
        meter.start();
        clock.start();
        feed.start(2);
        QTest::qWait(Ms / 2);
        const QString readingMidway = d.list->indexAt(QPoint(1, 1)).data().toString();
        d.list->scrollToTop(); // back to the newest
        QTest::qWait(Ms / 2);
        feed.stop();
        meter.stop();
        const int written = n - first;
        qInfo("%d lines in %lld ms; %s", written, clock.elapsed(), qPrintable(meter.summary()));
        QVERIFY(written >= RatePerS * Ms / 1000 - RatePerS / 10);
        QCOMPARE(readingMidway, reading);
        QVERIFY2(meter.longestStall().stallMs() < 100, qPrintable(meter.summary()));

        const QStringList expected =
            matching(newestFirst(fileLines(f.dir.path())).mid(0, 10000), "^\\S+ \\S+ - \\[MONITOR\\]");
        QTRY_COMPARE(d.list->indexAt(QPoint(1, 1)).data().toString(), expected.first());
        QCOMPARE(shown(d.list), expected);
    }
};

QTEST_MAIN(TestEventsDock)
#include "tst_eventsdock.moc"
