// The serial link under supervision, end to end through the pseudo-terminal:
// a device that vanishes and returns, a bus that falls silent, and what the
// operator and the event log are told.
#include "tests/support/supervisionfixture.h"

#include "protocol/controlkeys.h"
#include "tests/support/cpuclock.h"
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
    void lostPortIsReopened();
    void silentBus();
    void searchWhileLost();
    void quitWhileLost();
};

void TestLinkSupervision::lostPortIsReopened()
{
    SupervisionFixture f;
    const QString link = f.linkBus();
    QVERIFY(f.startWith({2, 3, 5}));
    QVERIFY(f.bus.setPower(3, false));
    QVERIFY(f.bus.setAlarm(5, 0x08));
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->alarmCount(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->monitorAt(1)->state, 0u, 5000);
    const QStringList before = monitors(*f.controller);
    QCOMPARE(before.size(), 3);
    QSignalSpy linkChanges(f.controller.get(), &MController::linkStateChanged);

    // Lost: said at once, in one line instead of a line per monitor.
    f.mark();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(f.bus.vanish());
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::PortLost, 1000);
    QVERIFY(f.waitForMessage(QStringLiteral("[ERROR]: LINK LOST - PORT(%1)").arg(link), 1000 - clock.elapsed()));
    QCOMPARE(linkChanges.size(), 1);
    QVERIFY(f.controller->linkFaultSince().isValid());
    for (int i = 0; i < f.controller->monitorCount(); ++i)
        QCOMPARE(f.controller->monitorAt(i)->state, quint32(CMonitor::StateZombie));

    // While lost: the process sleeps, and a key press fails at once and is
    // reported once.
    const double cpuBefore = cpuSeconds();
    clock.restart();
    f.controller->sendControl(ControlKeys::Menu, 5);
    QVERIFY(f.waitForMessage(QStringLiteral("[ERROR]: CMD(CONTROL) - MSG(SEND_ERROR) - ADDR(5)"), 500));
    // An event loop that only a timer ends: QTest::qWait would wake every
    // few milliseconds and charge its own polling to the process.
    QEventLoop idle;
    QTimer::singleShot(10000, &idle, &QEventLoop::quit);
    idle.exec();
    const double cpuShare = (cpuSeconds() - cpuBefore) / (clock.elapsed() / 1000.0);
    qInfo("CPU while lost: %.3f%% of a core", cpuShare * 100);
    QVERIFY2(cpuShare <= 0.01, qPrintable(QStringLiteral("%1 of a core while lost").arg(cpuShare)));
    QCOMPARE(f.newMessages(), QStringList({QStringLiteral("[ERROR]: LINK LOST - PORT(%1)").arg(link),
                                           "[ERROR]: CMD(CONTROL) - MSG(SEND_ERROR) - ADDR(5)"}));

    // Back on another device node behind the same link: polling resumes
    // without a search and every monitor comes back as it was.
    f.mark();
    f.bus.clearTrace();
    QString error;
    QVERIFY2(f.bus.reappear(&error, true), qPrintable(error));
    clock.restart();
    QTRY_VERIFY_WITH_TIMEOUT(f.bus.replyCount() > 0 && !f.bus.trace().isEmpty(), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::LinkOk, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(monitors(*f.controller), before, 5000);
    QCOMPARE(f.controller->alarmCount(), 1);
    const QStringList restored = f.newMessages().filter(QStringLiteral("LINK RESTORED"));
    QCOMPARE(restored.size(), 1);
    QVERIFY2(restored.first().startsWith(QStringLiteral("[MONITOR]: LINK RESTORED - PORT(%1) - DOWN(1").arg(link)),
             qPrintable(restored.first())); // 10 to 19 s
    QVERIFY(f.newMessages().filter(QStringLiteral("[SEARCH]")).isEmpty());
    QVERIFY(f.newMessages().filter(QStringLiteral("ZOMBIE")).isEmpty());
    QCOMPARE(linkChanges.size(), 2);
}

void TestLinkSupervision::silentBus()
{
    SupervisionFixture f;
    QVERIFY(f.startWith({2, 5}));
    QSignalSpy linkChanges(f.controller.get(), &MController::linkStateChanged);

    // Every monitor silent, the port working: the zombie lines stay, then
    // one line for the whole bus.
    f.mark();
    f.bus.setLineSilent(true);
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::BusSilent, 2000);
    const QStringList lines = f.newMessages();
    QCOMPARE(lines.filter(QStringLiteral("[MONITOR]: ZOMBIE")).size(), 2);
    QCOMPARE(lines.last(), QStringLiteral("[ERROR]: BUS SILENT - PORT(%1)").arg(f.bus.devicePath()));
    QCOMPARE(lines.filter(QStringLiteral("BUS SILENT")).size(), 1);

    // One monitor answers: the fault is over.
    f.mark();
    QVERIFY(f.bus.setFault(2, SimFault(SimFault::Silence)));
    f.bus.setLineSilent(false);
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::LinkOk, 2000);
    QVERIFY(f.waitForMessage(QStringLiteral("[MONITOR]: LINK RESTORED - PORT(%1) - DOWN(0 s)")
                                 .arg(f.bus.devicePath()), 1000)
            || f.waitForMessage(QStringLiteral("[MONITOR]: LINK RESTORED - PORT(%1) - DOWN(1 s)")
                                    .arg(f.bus.devicePath()), 100));
    QCOMPARE(linkChanges.size(), 2);
    QTest::qWait(500);
    QCOMPARE(f.controller->linkState(), MController::LinkOk); // one monitor still silent
    QCOMPARE(f.controller->monitorAt(0)->state, quint32(CMonitor::StateZombie));

    // Removing the one that answers leaves a silent bus again.
    f.mark();
    QVERIFY(f.controller->removeMonitor(f.controller->monitorAt(1)));
    QCOMPARE(f.controller->linkState(), MController::BusSilent);
    QCOMPARE(f.newMessages().filter(QStringLiteral("BUS SILENT")).size(), 1);
}

// A search while the port is lost fails to open as any search would, and
// the port is still waited for: when it returns, the search runs.
void TestLinkSupervision::searchWhileLost()
{
    SupervisionFixture f;
    const QString link = f.linkBus();
    QVERIFY(f.startWith({4}));
    QVERIFY(f.bus.vanish());
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::PortLost, 1000);

    f.mark();
    // Nobody to show the failure: it is logged.
    QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Can't open ") + link));
    QVERIFY(!f.controller->startSearch());
    QCOMPARE(f.newMessages(), QStringList({QStringLiteral("[ERROR]: Open %1 failed.").arg(link)}));
    QCOMPARE(f.controller->monitorCount(), 0);
    QCOMPARE(f.controller->linkState(), MController::PortLost);
    // With a receiver, it hears of it before startSearch returns.
    QSignalSpy openFailed(f.controller.get(), &MController::openFailed);
    QVERIFY(!f.controller->startSearch());
    QCOMPARE(openFailed.size(), 1);
    QCOMPARE(openFailed.first().first().toString(), link);
    QCOMPARE(f.controller->linkState(), MController::PortLost);

    QVERIFY(f.bus.reappear());
    QVERIFY(f.waitForMessage(QStringLiteral("[SEARCH]: START..."), 3000));
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->monitorCount(), 1, 5000);
    QCOMPARE(f.controller->linkState(), MController::LinkOk);
    QCOMPARE(f.newMessages().filter(QStringLiteral("LINK RESTORED")).size(), 1);
}

void TestLinkSupervision::quitWhileLost()
{
    SupervisionFixture f;
    f.linkBus();
    QVERIFY(f.startWith({4}));
    QVERIFY(f.bus.vanish());
    QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::PortLost, 1000);
    QTest::qWait(300); // into the worker's sleep between tries
    QElapsedTimer clock;
    clock.start();
    f.destroyController();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(f.logMessages().last(), QStringLiteral("Log file closed."));
}

QTEST_MAIN(TestLinkSupervision)
#include "tst_linksupervision.moc"
