// The lost-monitor option read off the simulated wire: a monitor that does
// not answer is polled once per interval instead of in every round, the
// live ones keep their pace, a silent bus does not make the worker spin, and
// an answer brings the monitor back. Off, every monitor is polled in every
// round, as always.
#include "tests/support/supervisionfixture.h"
#include "tools/sim/simfault.h"
#include "transport/serialsettings.h"

#include <QtTest>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

const QString zombie5 = QStringLiteral("[MONITOR]: ZOMBIE - SN(KV0005) - ADDRESS(5)");

// When each status poll to this address went out since the trace was
// cleared.
QList<Clock::time_point> pollsTo(const SimBus &bus, quint8 address)
{
    QList<Clock::time_point> times;
    for (const SimTraceEntry &entry : bus.trace())
        if (entry.kind == SimTraceEntry::Request && entry.address == address && entry.bytes.size() == 2
            && quint8(entry.bytes.at(1)) == 0x80)
            times << entry.start;
    return times;
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The monitors on a paced bus, found and read out with these extra
// settings in the serial group.
bool start(SupervisionFixture &f, const QList<quint8> &addresses, const QString &serialExtra)
{
    f.bus.setBaud(115200);
    for (quint8 address : addresses)
        if (!f.bus.addMonitor(SupervisionFixture::monitorState(address)))
            return false;
    f.writeSettings(serialExtra, 40);
    f.createController();
    return f.searchUpTo(addresses.last())
        && QTest::qWaitFor([&] { return f.controller->monitorAt(0) && !f.controller->monitorAt(0)->serialNumber.isEmpty(); }, 5000);
}

} // namespace

class TestLostPoll : public QObject
{
    Q_OBJECT

private slots:
    void settingRead_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("seconds");
        QTest::newRow("absent") << QString() << 0;
        QTest::newRow("off") << "lostpoll=0" << 0;
        QTest::newRow("lowest") << "lostpoll=2" << 2;
        QTest::newRow("highest") << "lostpoll=60" << 60;
        QTest::newRow("too short") << "lostpoll=1" << 0;
        QTest::newRow("too long") << "lostpoll=61" << 0;
        QTest::newRow("negative") << "lostpoll=-5" << 0;
        QTest::newRow("not a number") << "lostpoll=soon" << 0;
    }
    // Out of range is off, never a busy or endless wait; the link dialog's
    // own writing leaves the key alone.
    void settingRead()
    {
        QFETCH(QString, stored);
        QFETCH(int, seconds);
        SupervisionFixture f;
        f.writeSettings(stored);
        QCOMPARE(SerialSettings::read().lostPoll, seconds);
        SerialSettings linkDialogView = SerialSettings::read();
        linkDialogView.lostPoll = 0;
        linkDialogView.write();
        QCOMPARE(SerialSettings::read().lostPoll, seconds);
        SerialSettings::writeLostPoll(7);
        QCOMPARE(SerialSettings::read().lostPoll, 7);
        SerialSettings::writeLostPoll(99);
        QCOMPARE(SerialSettings::read().lostPoll, 0);
    }

    void zombiePolledOncePerInterval()
    {
        SupervisionFixture f;
        QVERIFY(start(f, {5, 6, 7}, QStringLiteral("lostpoll=2")));
        f.mark();
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Silence)));
        QVERIFY(f.waitForMessage(zombie5));
        f.bus.clearTrace();
        QTest::qWait(6500);
        const QList<Clock::time_point> lost = pollsTo(f.bus, 5);
        QVERIFY2(lost.size() >= 3 && lost.size() <= 4, qPrintable(QString::number(lost.size())));
        for (int i = 1; i < lost.size(); ++i)
            QVERIFY2(msBetween(lost.at(i - 1), lost.at(i)) >= 1990, qPrintable(QString::number(msBetween(lost.at(i - 1), lost.at(i)))));
        // The live ones go round without the dead one's time-out and pause.
        const int live = int(pollsTo(f.bus, 6).size());
        QVERIFY2(live > 100 * lost.size(), qPrintable(QStringLiteral("%1 against %2").arg(live).arg(lost.size())));

        // Its first answer brings it back, and it is polled with the others.
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::None)));
        QTRY_VERIFY_WITH_TIMEOUT(!(f.controller->monitorAt(0)->state & CMonitor::StateZombie), 3000);
        f.bus.clearTrace();
        QTest::qWait(500);
        QVERIFY2(pollsTo(f.bus, 5).size() > 20, qPrintable(QString::number(pollsTo(f.bus, 5).size())));
        QCOMPARE(f.newMessages().filter(QStringLiteral("ADDRESS(5)")).size(), 1);
    }

    // Zombies due at the same moment are polled one per round of the live
    // monitors, never back to back.
    void dueZombiesTakeTurns()
    {
        SupervisionFixture f;
        QVERIFY(start(f, {5, 6, 7, 8, 9}, QStringLiteral("lostpoll=2")));
        for (quint8 address : {5, 7, 9})
            QVERIFY(f.bus.setFault(address, SimFault(SimFault::Silence)));
        QTRY_VERIFY_WITH_TIMEOUT(f.newMessages().filter(QStringLiteral("[MONITOR]: ZOMBIE")).size() == 3, 5000);
        f.bus.clearTrace();
        QTest::qWait(4500);
        QString order; // z: a zombie's poll, l: a live one's
        int zombiePolls = 0;
        for (const SimTraceEntry &entry : f.bus.trace()) {
            if (entry.kind != SimTraceEntry::Request || entry.bytes.size() != 2 || quint8(entry.bytes.at(1)) != 0x80)
                continue;
            const bool zombie = entry.address % 2 == 1;
            zombiePolls += zombie;
            if (zombie || !order.endsWith(QLatin1String("ll")))
                order += zombie ? QLatin1Char('z') : QLatin1Char('l');
        }
        QVERIFY2(zombiePolls >= 4 && zombiePolls <= 9, qPrintable(QString::number(zombiePolls)));
        QVERIFY2(!order.contains(QLatin1String("zz")) && !order.contains(QLatin1String("zlz")), qPrintable(order));
    }

    // With only a dead monitor listed, the worker sleeps between its polls
    // and still stops at once.
    void onlyZombiesListed()
    {
        SupervisionFixture f;
        QVERIFY(start(f, {5}, QStringLiteral("lostpoll=2")));
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Silence)));
        QVERIFY(f.waitForMessage(zombie5));
        f.bus.clearTrace();
        const std::clock_t cpuBefore = std::clock();
        QTest::qWait(4500);
        const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        const int polls = int(pollsTo(f.bus, 5).size());
        QVERIFY2(polls >= 2 && polls <= 3, qPrintable(QString::number(polls)));
        QVERIFY2(cpuMs < 1000, qPrintable(QString::number(cpuMs)));
        Clock::time_point before = Clock::now();
        f.destroyController();
        QVERIFY(msBetween(before, Clock::now()) < 500);
    }

    // Off, the dead monitor costs its time-out in every round, as always.
    void offPollsEveryRound()
    {
        SupervisionFixture f;
        QVERIFY(start(f, {5, 6}, QString()));
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Silence)));
        QVERIFY(f.waitForMessage(zombie5));
        f.bus.clearTrace();
        QTest::qWait(1500);
        const QList<Clock::time_point> lost = pollsTo(f.bus, 5);
        const QList<Clock::time_point> live = pollsTo(f.bus, 6);
        QVERIFY2(lost.size() >= 5, qPrintable(QString::number(lost.size())));
        QVERIFY2(qAbs(int(live.size()) - int(lost.size())) <= 1, qPrintable(QStringLiteral("%1 and %2").arg(live.size()).arg(lost.size())));
    }
};

QTEST_MAIN(TestLostPoll)
#include "tst_lostpoll.moc"
