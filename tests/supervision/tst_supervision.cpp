// The supervisor end to end on a simulated bus: searches, follow-up queries,
// alarms, removal, and what the event log says about them. How each bus
// fault is handled is the fault matrix's subject.
#include "tests/support/supervisionfixture.h"

#include "protocol/updatecmd.h"
#include "transport/rsthread.h"

#include <QtTest>

namespace {

// Request frames (hex) sent to one address since the trace was last cleared.
QStringList requestsTo(const SimBus &bus, quint8 address)
{
    QStringList frames;
    for (const SimTraceEntry &entry : bus.trace())
        if (entry.kind == SimTraceEntry::Request && entry.address == address)
            frames << QString::fromLatin1(entry.bytes.toHex(' '));
    return frames;
}

// Everything but status polls, each frame once, in the order first sent: a poll
// analysed before the follow-ups went out asks again, the first order counts.
QStringList followUps(const QStringList &frames)
{
    QStringList rest;
    for (const QString &frame : frames)
        if (!(frame.size() == 5 && frame.endsWith(QLatin1String(" 80"))) && !rest.contains(frame))
            rest << frame;
    return rest;
}

} // namespace

class TestSupervision : public QObject
{
    Q_OBJECT

private slots:
    void emptyBusSearch()
    {
        SupervisionFixture f;
        f.writeSettings(QString(), 5);
        f.createController();
        QSignalSpy addresses(f.controller.get(), &MController::addressChanged);

        QVERIFY(f.controller->startSearch());
        QVERIFY(f.waitForMessage(QStringLiteral("[SEARCH]: END - 0 FOUND"), 30000));
        QCOMPARE(f.logMessages(), QStringList({"Log file created.", "[SEARCH]: START...", "[SEARCH]: END - 0 FOUND"}));
        QCOMPARE(addresses.size(), 126);
    }

    // A search cancelled early lists what it found; polling goes on with
    // those, and a monitor switched on is read out completely.
    void cancelledSearchAndSwitchOn()
    {
        SupervisionFixture f;
        SimMonitorState off = SupervisionFixture::monitorState(3, false);
        off.input = 7;
        off.mode = 20;
        off.rotary = {-10, 0, 20, 30, 127};
        off.functions = 0x20000005;
        for (const SimMonitorState &state : {SupervisionFixture::monitorState(2), off, SupervisionFixture::monitorState(6)})
            QVERIFY(f.bus.addMonitor(state));
        f.writeSettings();
        f.createController();
        QSignalSpy added(f.controller.get(), &MController::monitorAdded);
        QSignalSpy messages(f.controller.get(), &MController::msgChanged);

        QVERIFY(f.searchUpTo(4)); // cancelled while probing address 5
        QCOMPARE(added.size(), 2);
        QCOMPARE(qvariant_cast<CMonitor>(added.at(0).at(0)).address, quint8(2));
        // Follow-up queries wait for the end of the search, so no serial number yet.
        QCOMPARE(f.newMessages().mid(1, 3),
                 QStringList({"[SEARCH]: END - 2 FOUND", "[MONITOR]: FOUND - SN() - ADDRESS(2) - STATE(NORMAL)",
                              "[MONITOR]: FOUND - SN() - ADDRESS(3) - STATE(POWER OFF)"}));
        QCOMPARE(messages.at(3).at(0).toString(), QStringLiteral("Searching address: 4\n 2 monitor(s) found."));
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->monitorAt(0)->serialNumber, QStringLiteral("KV0002"), 5000);
        f.bus.clearTrace();
        QTRY_VERIFY_WITH_TIMEOUT(requestsTo(f.bus, 3).size() >= 3 && requestsTo(f.bus, 2).size() >= 3, 5000);
        QCOMPARE(f.bus.monitor(6)->requests, 0);
        QCOMPARE(f.controller->monitorAt(1)->serialNumber, QString());

        QSignalSpy changed(f.controller.get(), &MController::monitorChanged);
        f.mark();
        f.bus.clearTrace();
        QVERIFY(f.bus.setPower(3, true));
        QTRY_VERIFY_WITH_TIMEOUT(!f.controller->monitorAt(1)->boardVersions.isEmpty(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->monitorAt(1)->pendingQueries, 0u, 5000);
        // One change for the state, then one per information reply.
        QVERIFY(changed.size() >= 7);
        QCOMPARE(qvariant_cast<CMonitor>(changed.at(0).at(0)).state,
                 quint32(CMonitor::StatePower | CMonitor::StateAlarmDue | CMonitor::StateUpdateDue));
        QCOMPARE(followUps(requestsTo(f.bus, 3)),
                 QStringList({"83 82", "83 83", "83 90 02 0a", "83 90 0c 06", "83 90 12 02", "83 90 14 05",
                              "83 90 19 04", "83 90 3e 0a"}));
        const CMonitor m = qvariant_cast<CMonitor>(changed.last().at(0)); // the record as last published
        QCOMPARE(QStringList({m.serialNumber, m.version, QString::number(m.input), QString::number(m.mode),
                              QString::number(m.rotaryValues[0]), QString::number(m.rotaryValues[4]),
                              QString::number(m.functions, 16), QString::fromLatin1(m.boardVersions.toHex()),
                              QString::number(m.state)}),
                 QStringList({"KV0003", "V2.1", "7", "20", "-10", "127", "20000005", "12053011200130094063", "1"}));
        QCOMPARE(f.newMessages(), QStringList()); // a switch-on is not logged

        // A key press and a UMD text reach the monitor; the input change the key
        // caused is fetched through the update report.
        f.bus.clearTrace();
        f.controller->sendControl(0x84, 3);
        f.controller->sendUmd("CAM 3", 3, 3);
        QTRY_COMPARE_WITH_TIMEOUT(f.bus.monitor(3)->umdFrames, 1, 5000);
        QCOMPARE(f.bus.monitor(3)->umdText, QByteArray("CAM 3   "));
        QCOMPARE(int(f.bus.monitor(3)->umdTally), 3);
        QVERIFY(requestsTo(f.bus, 3).contains(QStringLiteral("83 d0 00 84")));
        QTRY_COMPARE_WITH_TIMEOUT(int(f.controller->monitorAt(1)->input), 8, 5000);
    }

    // Each report that asks for a follow-up queues its own, analysed here before
    // any went out: two polls with the alarm flag ask twice, and an update report
    // asks for exactly the items it names, in item order. A monitor the user
    // removed stays away, also when a reply for it arrives late.
    void everyReportQueuesItsQueriesAndRemoval()
    {
        SupervisionFixture f;
        QVERIFY(f.bus.addMonitor(SupervisionFixture::monitorState(5, false)));
        f.writeSettings();
        f.createController();
        const auto analyse = [&](RSCmd *cmd, const char *reply) {
            cmd->status = RSCmd::StatusOk;
            cmd->reply = QByteArray::fromHex(reply);
            f.controller->cmdAnalyzer(cmd);
        };
        analyse(new RSCmd(5), "8502"); // alarm due, power off
        analyse(new RSCmd(5), "8502");
        analyse(new UpdateCmd(5), "850121"); // serial number and board versions changed

        QVERIFY(f.controller->transactionThread()->startBus());
        QTRY_VERIFY_WITH_TIMEOUT(requestsTo(f.bus, 5).size() >= 5, 5000);
        QCOMPARE(requestsTo(f.bus, 5).mid(0, 5), QStringList({"85 82", "85 82", "85 90 02 0a", "85 90 3e 0a", "85 80"}));

        QTRY_COMPARE_WITH_TIMEOUT(f.controller->monitorAt(0)->serialNumber, QStringLiteral("KV0005"), 5000);
        QSignalSpy removed(f.controller.get(), &MController::monitorRemoved);
        f.mark();
        QVERIFY(f.controller->removeMonitor(f.controller->monitorAt(0)));
        QCOMPARE(qvariant_cast<CMonitor>(removed.value(0).value(0)).serialNumber, QStringLiteral("KV0005"));
        analyse(new RSCmd(5), "8501");
        QCOMPARE(f.controller->monitorCount(), 0);
        QVERIFY(!f.controller->removeMonitor(nullptr));
        CMonitor gone(5); // no longer listed: refused without a line
        QVERIFY(!f.controller->removeMonitor(&gone));
        QCOMPARE(f.newMessages(), QStringList({"[MONITOR]: REMOVED - SN(KV0005) - ADDRESS(5)"}));
        QCOMPARE(removed.size(), 1);
    }

    void alarmReports()
    {
        SupervisionFixture f;
        QVERIFY(f.startWith({5}));

        // A changed alarm byte: one line with the status text.
        f.mark();
        QVERIFY(f.bus.setAlarm(5, 0x08));
        QVERIFY(f.waitForMessage(QStringLiteral("[ALARM]: STATE(ALARM<[AUDIO MUTE]>) - SN(KV0005) - ADDRESS(5)")));

        // An IRE alarm is disabled by default: the status reads normal and no
        // time code is fetched.
        f.bus.clearTrace();
        QVERIFY(f.bus.setAlarm(5, 0x04));
        QVERIFY(f.waitForMessage(QStringLiteral("[ALARM]: STATE(NORMAL) - SN(KV0005) - ADDRESS(5)")));
        QTRY_VERIFY_WITH_TIMEOUT(requestsTo(f.bus, 5).size() >= 5, 5000);
        QVERIFY(!requestsTo(f.bus, 5).contains(QStringLiteral("85 90 30 0e")));

        // An enabled RGB alarm brings its time code.
        f.writeSettings(QStringLiteral("[alarm]\nrgb=true\n"));
        QVERIFY(f.bus.setTimeCode(5, QStringLiteral("10:20:30:04")));
        f.mark();
        QVERIFY(f.bus.setAlarm(5, 0x10));
        QVERIFY(f.waitForMessage(QStringLiteral("[TIMECODE](10:20:30:04) - SN(KV0005) - ADDRESS(5)")));
        QCOMPARE(f.newMessages(), QStringList({"[ALARM]: STATE(ALARM<[RGB ALARM]>) - SN(KV0005) - ADDRESS(5)",
                                               "[TIMECODE](10:20:30:04) - SN(KV0005) - ADDRESS(5)"}));
        QCOMPARE(f.controller->monitorAt(0)->timeCode, QStringLiteral("10:20:30:04"));
    }
};

QTEST_GUILESS_MAIN(TestSupervision)
#include "tst_supervision.moc"
