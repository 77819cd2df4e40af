// The serial link under supervision, end to end through the pseudo-terminal:
// a bus that falls silent as a whole, and what the operator and the event log
// are told. A device that vanishes and returns is in the fault matrix.
#include "tests/support/supervisionfixture.h"

#include <QtTest>

class TestLinkSupervision : public QObject
{
    Q_OBJECT

private slots:
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

