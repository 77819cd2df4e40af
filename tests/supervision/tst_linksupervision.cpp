// The serial link under supervision, end to end through the pseudo-terminal:
// a device that vanishes and returns, a bus that falls silent, and what the
// operator and the event log are told.
#include "tests/support/supervisionfixture.h"

#include "protocol/controlkeys.h"
#include "transport/rsthread.h"

#include <QtTest>

namespace {

// Each listed monitor as "address:state:serial number", in list order.
QStringList monitors(const MController &controller)
{
    QStringList list;
    for (int i = 0; i < controller.monitorCount(); ++i) {
        const CMonitor *m = controller.monitorAt(i);
        list << QStringLiteral("%1:%2:%3").arg(m->address).arg(m->state, 0, 16).arg(m->serialNumber);
    }
    return list;
}

} // namespace

class TestLinkSupervision : public QObject
{
    Q_OBJECT

private slots:
    void lostPortIsReopened()
    {
        SupervisionFixture f;
        const QString link = f.linkBus();
        QVERIFY(f.startWith({2, 3, 5}));
        QVERIFY(f.bus.setPower(3, false));
        QVERIFY(f.bus.setAlarm(3, 0x08)); // off: it does not count
        QVERIFY(f.bus.setAlarm(5, 0x08));
        const CMonitor *off = f.controller->monitorAt(1);
        QTRY_VERIFY_WITH_TIMEOUT(off->alarm == 8 && off->state == 0 && f.controller->monitorAt(2)->alarm == 8, 5000);
        QCOMPARE(f.controller->alarmCount(), 1);
        const QStringList before = monitors(*f.controller);
        QSignalSpy linkChanges(f.controller.get(), &MController::linkStateChanged);

        // Lost: said at once, in one line instead of a line per monitor.
        f.mark();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(f.bus.vanish());
        const QString lost = QStringLiteral("[ERROR]: LINK LOST - PORT(%1)").arg(link);
        QVERIFY(f.waitForMessage(lost, 1000));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.controller->linkState(), MController::PortLost);
        QCOMPARE(linkChanges.size(), 1);
        QVERIFY(f.controller->linkFaultSince().isValid());
        QCOMPARE(monitors(*f.controller), QStringList({"2:100:KV0002", "3:100:KV0003", "5:100:KV0005"}));

        // While lost a key press fails at once and is reported once; the rest
        // of the outage, spanning the worker's tries to reopen, stays quiet.
        f.controller->sendControl(ControlKeys::Menu, 5);
        const QString refused = QStringLiteral("[ERROR]: CMD(CONTROL) - MSG(SEND_ERROR) - ADDR(5)");
        QVERIFY(f.waitForMessage(refused, 500));
        QTest::qWait(2500); // proves the absence of further lines
        QCOMPARE(f.newMessages(), QStringList({lost, refused}));

        // Back on another device node behind the same link: polling resumes
        // without a search and every monitor comes back as it was.
        f.mark();
        QString error;
        QVERIFY2(f.bus.reappear(&error, true), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::LinkOk, 2000);
        const qint64 down = clock.elapsed() / 1000;
        QTRY_COMPARE_WITH_TIMEOUT(monitors(*f.controller), before, 5000);
        QCOMPARE(f.controller->alarmCount(), 1);
        QCOMPARE(linkChanges.size(), 2);
        const QStringList lines = f.newMessages();
        QCOMPARE(lines.size(), 1); // no search, no zombie lines
        const QString restored = QStringLiteral("[MONITOR]: LINK RESTORED - PORT(%1) - DOWN(%2 s)").arg(link);
        QVERIFY2(lines.first() == restored.arg(down) || lines.first() == restored.arg(down - 1), qPrintable(lines.first()));

        // A search while lost fails to open as any search would, logged when
        // nobody shows it, signalled before startSearch returns otherwise; the
        // port is still waited for, and when it returns the search runs.
        QVERIFY(f.bus.vanish());
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::PortLost, 1000);
        f.mark();
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Can't open ") + link));
        QVERIFY(!f.controller->startSearch());
        QCOMPARE(f.newMessages(), QStringList({QStringLiteral("[ERROR]: Open %1 failed.").arg(link)}));
        QCOMPARE(f.controller->monitorCount(), 0);
        QSignalSpy openFailed(f.controller.get(), &MController::openFailed);
        QVERIFY(!f.controller->startSearch());
        QCOMPARE(openFailed.value(0).value(0).toString(), link);
        QCOMPARE(f.controller->linkState(), MController::PortLost);
        QVERIFY(f.bus.reappear());
        QVERIFY(f.waitForMessage(QStringLiteral("[SEARCH]: START..."), 3000));
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->monitorCount(), 3, 5000);
        QCOMPARE(f.controller->linkState(), MController::LinkOk);
        QCOMPARE(f.newMessages().filter(QStringLiteral("LINK RESTORED")).size(), 1);

        // Quitting while lost is quick, and the log is closed.
        QVERIFY(f.bus.vanish());
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::PortLost, 1000);
        clock.restart();
        f.destroyController();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.logMessages().last(), QStringLiteral("Log file closed."));
    }

    void silentBus()
    {
        SupervisionFixture f;
        QVERIFY(f.startWith({2, 5}));
        QSignalSpy linkChanges(f.controller.get(), &MController::linkStateChanged);

        // Every monitor silent, the port working: the zombie lines stay, then
        // one line for the whole bus.
        f.mark();
        f.bus.setLineSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::BusSilent, 2000);
        QVERIFY(f.bus.waitForRequests(f.bus.requestCount() + 4, 5000)); // polls that fail again say nothing
        QCoreApplication::processEvents();
        const QStringList lines = f.newMessages();
        QCOMPARE(lines.filter(QStringLiteral("[MONITOR]: ZOMBIE")).size(), 2);
        QCOMPARE(lines.last(), QStringLiteral("[ERROR]: BUS SILENT - PORT(%1)").arg(f.bus.devicePath()));
        QCOMPARE(lines.filter(QStringLiteral("BUS SILENT")).size(), 1);

        // One monitor answers: the fault is over.
        f.mark();
        QVERIFY(f.bus.setFault(2, SimFault(SimFault::Silence)));
        f.bus.setLineSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::LinkOk, 2000);
        const QString restored = QStringLiteral("[MONITOR]: LINK RESTORED - PORT(%1) - DOWN(0 s)").arg(f.bus.devicePath());
        QVERIFY(f.waitForMessage(restored, 1000) || f.waitForMessage(QString(restored).replace("(0 s)", "(1 s)"), 100));
        QTest::qWait(500); // proves that the one still silent does not end it again
        QCOMPARE(linkChanges.size(), 2);
        QCOMPARE(f.controller->monitorAt(0)->state, quint32(CMonitor::StateZombie));

        // Removing the one that answers leaves a silent bus again.
        f.mark();
        QVERIFY(f.controller->removeMonitor(f.controller->monitorAt(1)));
        QCOMPARE(f.controller->linkState(), MController::BusSilent);
        QCOMPARE(f.newMessages().filter(QStringLiteral("BUS SILENT")).size(), 1);
    }
};

QTEST_MAIN(TestLinkSupervision)
#include "tst_linksupervision.moc"

