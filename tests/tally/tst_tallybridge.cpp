// What the tally bridge puts on the bus, read off the simulated wire: only
// real changes, the newest state of each address, lamps first, polls in
// between, and the last state again for a monitor that comes back.
#include "tally/tallybridge.h"
#include "tests/support/supervisionfixture.h"
#include "tests/support/umdframes.h"
#include "tools/sim/simfault.h"

#include <QtTest>

namespace {

UmdState state(const char *text, quint8 tally)
{
    return UmdState{QByteArray(text), tally};
}

// A paced line: unpaced, polls would push the frames out of the trace.
bool start(SupervisionFixture &f, const QList<quint8> &addresses)
{
    f.bus.setBaud(115200);
    return f.startWith(addresses);
}

constexpr quint8 Red = 1;
constexpr quint8 Green = 2;

} // namespace

class TestTallyBridge : public QObject
{
    Q_OBJECT

private slots:
    // A source repeating its state sends one frame per real change, the
    // last state wins, and states that differ only in what the frame cannot
    // carry are no change.
    void onlyRealChanges()
    {
        SupervisionFixture f;
        QVERIFY(start(f, {1, 2}));
        TallyBridge bridge(f.controller.get());
        f.bus.clearTrace();
        const QList<UmdState> changes = {state("CAM 1", 0), state("CAM 1", Red), state("CAM 1", 0),
                                         state("CAM 1", Green), state("STUDIO B", Red | Green)};
        // 100 packets in a second, 20 for each state.
        for (const UmdState &change : changes) {
            for (int i = 0; i < 20; ++i) {
                bridge.want(1, change);
                QTest::qWait(10);
            }
        }
        const QStringList expected = {"0 CAM 1   ", "1 CAM 1   ", "0 CAM 1   ", "2 CAM 1   ", "3 STUDIO B"};
        QTRY_COMPARE_WITH_TIMEOUT(umdFrames(f.bus, 1), expected, 3000);
        bridge.want(1, state("STUDIO B   ", Red | Green | 4)); // blanks and bits the frame drops
        bridge.want(1, state("STUDIO BXYZ", Red | Green));     // cut to the same 8 characters
        QTest::qWait(300);
        QCOMPARE(umdFrames(f.bus, 1), expected);
        QCOMPARE(umdFrames(f.bus, 2), QStringList());
        bridge.want(0, state("NOBODY", Red));
        bridge.want(127, state("NOBODY", Red));
        QTest::qWait(200);
        QCOMPARE(umdFrames(f.bus).size(), expected.size());
    }

    // While one frame is on its way, newer states replace the waiting one;
    // of the waiting addresses, lamp changes go first, each kind oldest
    // first.
    void coalescedAndLampsFirst()
    {
        SupervisionFixture f;
        QVERIFY(start(f, {1, 2, 3, 4}));
        TallyBridge bridge(f.controller.get());
        f.bus.clearTrace();
        bridge.want(1, state("ONE", Red));     // goes at once
        bridge.want(1, state("ONE", Green));   // replaced...
        bridge.want(2, state("TWO", 0));       // text only, oldest
        bridge.want(3, state("THREE", Green)); // lamps
        bridge.want(1, state("ONE", Red));     // ...by what was sent: nothing more for 1
        bridge.want(4, state("FOUR", Red));    // lamps, newer
        bridge.want(2, state("TWO-2", 0));     // replaces the waiting text, keeps its turn
        QTRY_COMPARE_WITH_TIMEOUT(umdFrames(f.bus).size(), 4, 3000);
        QTest::qWait(200);
        QCOMPARE(umdFrames(f.bus), QStringList({"1:1 ONE     ", "3:2 THREE   ", "4:1 FOUR    ", "2:0 TWO-2   "}));
    }

    // A run of changes to many monitors: polls keep going out between the
    // frames (never ten frames in a row), and after the first burst the
    // frames take no more than their share of the line.
    void supervisionGoesOn()
    {
        SupervisionFixture f;
        QList<quint8> addresses;
        for (quint8 a = 1; a <= 12; ++a)
            addresses << a;
        QVERIFY(start(f, addresses));
        TallyBridge bridge(f.controller.get(), 9600);
        f.bus.clearTrace();
        QElapsedTimer clock;
        clock.start();
        for (int round = 0; round < 3; ++round)
            for (quint8 a : addresses)
                bridge.want(a, state("ROUND", quint8(round % 2 ? Red : Green)));
        QTRY_COMPARE_WITH_TIMEOUT(umdFrames(f.bus).size(), 12, 10000);
        const qint64 tookMs = clock.elapsed();
        // Only the last round's states: the earlier ones were replaced.
        for (quint8 a : addresses)
            QCOMPARE(umdFrames(f.bus, a), QStringList({"2 ROUND   "}));
        int inARow = 0;
        int most = 0;
        for (const SimTraceEntry &entry : f.bus.trace()) {
            if (entry.kind != SimTraceEntry::Request)
                continue;
            inARow = entry.bytes.size() == 18 ? inARow + 1 : 0;
            most = std::max(most, inARow);
        }
        QVERIFY2(most < 10, qPrintable(QString::number(most)));
        // Burst, then one frame per 155 ms at 9600 baud.
        const double frameMs = (18 * 10 * 1000.0 / 9600 + 20) / TallyBridge::BusShare;
        QVERIFY2(tookMs >= (12 - TallyBridge::BurstFrames - 1) * frameMs, qPrintable(QString::number(tookMs)));
    }

    // A monitor that answers again after falling silent, or is switched on,
    // gets its last state again, also one the operator set by hand; one that
    // is silent gets nothing meanwhile.
    void resentOnReturn()
    {
        SupervisionFixture f;
        QVERIFY(start(f, {5, 6}));
        TallyBridge bridge(f.controller.get());
        bridge.want(5, state("CAM 5", Red));
        QTRY_COMPARE_WITH_TIMEOUT(umdFrames(f.bus, 5), QStringList({"1 CAM 5   "}), 3000);

        f.mark();
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Silence)));
        QVERIFY(f.waitForMessage(QStringLiteral("[MONITOR]: ZOMBIE - SN(KV0005) - ADDRESS(5)")));
        f.bus.clearTrace();
        bridge.want(5, state("CAM 5", Green));
        QTest::qWait(300);
        QCOMPARE(umdFrames(f.bus, 5), QStringList());
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::None)));
        QTRY_COMPARE_WITH_TIMEOUT(umdFrames(f.bus, 5), QStringList({"2 CAM 5   "}), 3000);

        // The operator's own "Set" goes through the supervisor as well.
        f.controller->sendUmd("BY HAND", Red | Green, 6);
        QTRY_COMPARE_WITH_TIMEOUT(umdFrames(f.bus, 6), QStringList({"3 BY HAND "}), 3000);
        QVERIFY(f.bus.setPower(6, false));
        QTRY_VERIFY_WITH_TIMEOUT(!(f.controller->monitorAt(1)->state & CMonitor::StatePower), 3000);
        QVERIFY(f.bus.setPower(6, true));
        QTRY_COMPARE_WITH_TIMEOUT(umdFrames(f.bus, 6), QStringList({"3 BY HAND ", "3 BY HAND "}), 3000);
        QTest::qWait(300);
        QCOMPARE(umdFrames(f.bus, 6).size(), 2);
        QCOMPARE(umdFrames(f.bus, 5).size(), 1);
    }
};

QTEST_MAIN(TestTallyBridge)
#include "tst_tallybridge.moc"
