// Acknowledging alarms as the operator does it, with F8, heard at the null
// sink: what stays silent, what sounds again, and what the status bar, the
// rows and icons and the log show meanwhile. All with the tone "Continue",
// which would otherwise repeat every 5 seconds.
#include "tests/support/mainwindowfixture.h"
#include "tests/support/sinkrecording.h"

#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"
#include "monitor/model/monitormodel.h"
#include "tools/sim/simmonitor.h"
#include "transport/rsthread.h"

#include <QtTest>
#include <QtWidgets>

namespace {

constexpr quint8 Mute = 0x08;
constexpr quint8 Blue = 0x01;
constexpr quint8 Black = 0x02;
// A reply missed on a busy machine turns a monitor into a zombie: its alarm
// clears and comes back as a new one, which would sound.
constexpr int BusTimeoutMs = 200;
// "At once": the next poll, its alarm query and the start of the play.
constexpr int AtOnceMs = 3000;

bool start(MainWindowFixture &f, const QList<quint8> &addresses, quint8 firstAlarm = 0,
           const QString &extra = QString())
{
    SimMonitorState first = SimMonitor::defaultState(addresses.first());
    first.alarm = firstAlarm;
    return f.bus.addMonitor(first)
        && QFile::copy(qEnvironmentVariable("KC_BIN_DIR") + QStringLiteral("/alarm.wav"), f.dir.filePath("alarm.wav"))
        && f.startWith(addresses, QStringLiteral("[alarm]\ntone=2\n") + extra, BusTimeoutMs);
}

void pressF8(MainWindowFixture &f)
{
    f.window->activateWindow(); // a shortcut reaches the active window only
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    QTest::keyClick(f.window.get(), Qt::Key_F8);
}

// The texts after "[ALARM]: ACKNOWLEDGED - " in the log, in order.
QStringList acknowledgedInLog(MainWindowFixture &f)
{
    QFile log(f.controller()->logFileName());
    if (!log.open(QIODevice::ReadOnly))
        return {QStringLiteral("no log")};
    QStringList found;
    const QString tag = QStringLiteral(" - [ALARM]: ACKNOWLEDGED - ");
    for (const QString &line : QString::fromUtf8(log.readAll()).split(QStringLiteral("\r\n"))) {
        if (line.contains(tag))
            found << line.mid(line.indexOf(tag) + tag.size());
    }
    return found;
}

// How the monitor's row shows in the table's status cell and in the icon
// view: "italic ticked #ff0000" for an acknowledged alarm, "#ff0000" for a
// new one; "a|b" when the two differ.
QString marking(const MainWindowFixture &f, quint8 address)
{
    const QAbstractItemModel *model = f.icons()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, MonitorModel::AddressColumn).data(Qt::UserRole).toInt() != address)
            continue;
        const QImage plain = statusImage(*f.controller()->monitorAt(row)).toImage();
        QStringList seen;
        for (int column : {int(MonitorModel::StatusColumn), int(MonitorModel::IconColumn)}) {
            const QModelIndex index = model->index(row, column);
            seen << QStringLiteral("%1%2%3").arg(
                index.data(Qt::FontRole).value<QFont>().italic() ? "italic " : "",
                index.data(Qt::DecorationRole).value<QPixmap>().toImage() == plain ? "" : "ticked ",
                index.data(Qt::BackgroundRole).value<QColor>().name());
        }
        seen.removeDuplicates();
        return seen.join(QLatin1Char('|'));
    }
    return QStringLiteral("no row");
}

} // namespace

class TestAcknowledge : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!soundServerRunning())
            QSKIP("no sound server: the test command starts one");
    }

    // F8 silences the alarms present, at once and for good while they stay,
    // however the wall changes meanwhile. A new kind on an acknowledged
    // monitor, another monitor's alarm, and an alarm that cleared and came
    // back each sound again at once; each F8 logs the monitors it
    // acknowledged, and those only. A removal or a new search forgets.
    void silencesUntilANewAlarm()
    {
        MainWindowFixture f;
        QVERIFY(start(f, {5, 6, 7}));
        QLabel *label = f.w("alarmLabel");
        QAction *act = f.action("acknowledgeAct");
        QCOMPARE(act->shortcut(), QKeySequence(Qt::Key_F8));
        QVERIFY(act->associatedObjects().contains(f.w<QMenu>("fileMenu"))
                && act->associatedObjects().contains(f.w<QToolBar>("fileToolBar")));
        SinkRecording sound;
        QVERIFY(sound.start());
        QVERIFY(f.bus.setAlarm(5, Mute) && f.bus.setAlarm(6, Black));
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() >= 2, 15000); // repeating
        QCOMPARE(label->text(), QStringLiteral("2 Alarming"));
        QCOMPARE(marking(f, 5), QStringLiteral("#ff0000"));

        pressF8(f);
        QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), sound.plays().size(), 1000); // cut short
        qsizetype plays = sound.plays().size();
        QCOMPARE(label->text(), QStringLiteral("2 Alarming (2 acknowledged)"));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(marking(f, 5) + ' ' + marking(f, 6) + ' ' + marking(f, 7),
                 QStringLiteral("italic ticked #ff0000 italic ticked #ff0000 #00ff00"));
        QCOMPARE(f.controller()->acknowledgedAlarmCount(), 2);
        // 30 s without a play; the third monitor's power goes off and on in
        // between, changes that sound the tone while anything is new.
        for (const bool power : {false, true}) {
            QTest::qWait(10000);
            QVERIFY(f.bus.setPower(7, power));
        }
        QTest::qWait(10000);
        QCOMPARE(sound.plays().size(), plays);
        QCOMPARE(acknowledgedInLog(f), QStringList({"ADDRESS(5)", "ADDRESS(6)"}));

        QVERIFY(f.bus.setAlarm(5, Mute | Blue)); // a new kind
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() > plays, AtOnceMs);
        QCOMPARE(label->text(), QStringLiteral("2 Alarming (1 acknowledged)"));
        QCOMPARE(marking(f, 5), QStringLiteral("#ff0000"));
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() > plays + 1, 7000); // and repeats
        pressF8(f); // only monitor 5 is new
        QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), sound.plays().size(), 1000);
        plays = sound.plays().size();
        QCOMPARE(label->text(), QStringLiteral("2 Alarming (2 acknowledged)"));
        QTest::qWait(6000); // past the repeat interval
        QCOMPARE(sound.plays().size(), plays);

        QVERIFY(f.bus.setAlarm(7, Black)); // another monitor
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() > plays, AtOnceMs);
        QCOMPARE(label->text(), QStringLiteral("3 Alarming (2 acknowledged)"));
        pressF8(f);
        QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), sound.plays().size(), 1000);
        plays = sound.plays().size();

        QVERIFY(f.bus.setAlarm(6, 0)); // clears: no sound...
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("2 Alarming (2 acknowledged)"), AtOnceMs);
        QVERIFY(f.bus.setAlarm(6, Black)); // ...and its return is new
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() > plays, AtOnceMs);
        QCOMPARE(label->text(), QStringLiteral("3 Alarming (2 acknowledged)"));
        pressF8(f);
        QTRY_COMPARE(label->text(), QStringLiteral("3 Alarming (3 acknowledged)"));
        QCOMPARE(acknowledgedInLog(f), QStringList({"ADDRESS(5)", "ADDRESS(6)", "ADDRESS(5)", "ADDRESS(7)",
                                                    "ADDRESS(6)"}));

        QVERIFY(f.controller()->removeMonitor(f.controller()->transactionThread()->findMonitor(7)));
        QCOMPARE(label->text(), QStringLiteral("2 Alarming (2 acknowledged)"));
        QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), sound.plays().size(), 1000);
        plays = sound.plays().size();
        QVERIFY(f.search({5, 6, 7})); // all found again, all new
        QTRY_COMPARE(label->text(), QStringLiteral("3 Alarming"));
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() > plays, AtOnceMs);
        QCOMPARE(marking(f, 5), QStringLiteral("#ff0000"));
    }

    // With "ackminutes" set, the alarm still there sounds again once the
    // acknowledgement has lasted that long, and repeats as before.
    void runsOutAfterItsMinutes()
    {
        MainWindowFixture f;
        QVERIFY(start(f, {5}, Mute, QStringLiteral("ackminutes=1\n")));
        SinkRecording sound;
        QVERIFY(sound.start());
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() >= 1, 7000);
        pressF8(f);
        const double acknowledgedAt = sound.recordedMs();
        QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), sound.plays().size(), 1000);
        const qsizetype plays = sound.plays().size();
        QCOMPARE(f.w("alarmLabel")->text(), QStringLiteral("1 Alarming (1 acknowledged)"));
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() > plays, 70000);
        const double after = sound.plays().at(plays).first - acknowledgedAt;
        qInfo("sounds again %.0f ms after F8", after);
        QVERIFY2(after > 59500 && after < 61500, qPrintable(QString::number(after)));
        QCOMPARE(f.w("alarmLabel")->text(), QStringLiteral("1 Alarming"));
        QCOMPARE(marking(f, 5), QStringLiteral("#ff0000"));
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() > plays + 1, 7000);
        QCOMPARE(acknowledgedInLog(f), QStringList({"ADDRESS(5)"}));
    }

    // A lost link sounds too: F8 silences it until the link state changes,
    // and the next loss sounds again.
    void silencesTheLinkAlarmUntilItChanges()
    {
        MainWindowFixture f;
        const QString link = f.linkBus();
        QVERIFY(start(f, {5}));
        SinkRecording sound;
        QVERIFY(sound.start());
        QVERIFY(f.bus.vanish());
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() >= 1, AtOnceMs);
        pressF8(f);
        QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), sound.plays().size(), 1000);
        const qsizetype plays = sound.plays().size();
        QTest::qWait(7000); // past the repeat interval
        QCOMPARE(sound.plays().size(), plays);
        QCOMPARE(f.w("alarmLabel")->text(), QStringLiteral("0 Alarming"));
        QCOMPARE(acknowledgedInLog(f), QStringList({"PORT(" + link + ")"}));
        QVERIFY(f.bus.reappear());
        QTRY_COMPARE_WITH_TIMEOUT(f.w("linkLabel")->text(), QStringLiteral("Link OK"), 3000);
        QCOMPARE(sound.plays().size(), plays);
        QVERIFY(f.bus.vanish());
        QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() > plays, AtOnceMs);
    }
};

QTEST_MAIN(TestAcknowledge)
#include "tst_acknowledge.moc"
