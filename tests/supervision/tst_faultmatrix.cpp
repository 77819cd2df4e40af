// One case per misbehaviour the simulated bus can show: what the views and
// the event log say about it, and that the main thread kept turning while
// the supervisor dealt with it.
#include "tests/support/loopgapmeter.h"
#include "tests/support/sanitizerbuild.h"
#include "tests/support/supervisionfixture.h"

#include "iconview/miconview.h"
#include "monitor/alarmstatus.h"
#include "protocol/querycmd.h"
#include "transport/rsthread.h"

#include <QtTest>

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// The operator notices a frozen window long before a second; a tenth of one
// is what every fault must stay under. The bound is on the time the main
// thread was held up by itself: what it spent waiting for a core on a busy
// machine is no fault of ours (the summary shows both).
constexpr double MaxGapMs = 100;

QString statusName(int code)
{
    switch (code) {
    case StatusAlarm: return QStringLiteral("alarm");
    case StatusPowerOff: return QStringLiteral("off");
    case StatusNormal: return QStringLiteral("normal");
    case StatusZombie: return QStringLiteral("zombie");
    }
    return QStringLiteral("status%1").arg(code);
}

// Each row as the views show it: "address status serial-number version",
// with the icon's caption added where it differs from the serial number and
// "no icon" where the icon view has no place for the row.
QStringList rows(const MonitorModel &model, const MIconView &icons)
{
    QStringList list;
    for (int r = 0; r < model.rowCount(); ++r) {
        const auto cell = [&](int column, int role = Qt::DisplayRole) { return model.index(r, column).data(role); };
        QString row = QStringLiteral("%1 %2 %3 %4")
                          .arg(cell(MonitorModel::AddressColumn).toInt())
                          .arg(statusName(cell(MonitorModel::StatusColumn, Qt::UserRole).toInt()),
                               cell(MonitorModel::SerialColumn).toString(),
                               cell(MonitorModel::VersionColumn).toString());
        const QModelIndex icon = icons.model()->index(r, icons.modelColumn());
        if (icon.data().toString() != cell(MonitorModel::SerialColumn).toString())
            row += QStringLiteral(" icon:") + icon.data().toString();
        if (!icons.visualRect(icon).isValid())
            row += QStringLiteral(" no icon");
        list << row;
    }
    return list;
}

// Frames of one kind to one address since the trace was last cleared, in hex.
QStringList framesOf(const SimBus &bus, SimTraceEntry::Kind kind, quint8 address,
                     Clock::time_point after = Clock::time_point())
{
    QStringList frames;
    for (const SimTraceEntry &entry : bus.trace())
        if (entry.kind == kind && entry.address == address && entry.start > after)
            frames << QString::fromLatin1(entry.bytes.toHex(' '));
    return frames;
}

QStringList requestsTo(const SimBus &bus, quint8 address, Clock::time_point after = Clock::time_point())
{
    return framesOf(bus, SimTraceEntry::Request, address, after);
}

QStringList repliesOf(const SimBus &bus, quint8 address, Clock::time_point after = Clock::time_point())
{
    return framesOf(bus, SimTraceEntry::Reply, address, after);
}

// The reply to the first request of this frame, or nothing if none came.
const SimTraceEntry *replyTo(const QList<SimTraceEntry> &trace, const QString &requestHex)
{
    for (int i = 0; i < trace.size(); ++i) {
        if (trace.at(i).kind != SimTraceEntry::Request || QString::fromLatin1(trace.at(i).bytes.toHex(' ')) != requestHex)
            continue;
        for (int j = i + 1; j < trace.size(); ++j) {
            if (trace.at(j).kind == SimTraceEntry::Request)
                return nullptr;
            if (trace.at(j).kind == SimTraceEntry::Reply)
                return &trace.at(j);
        }
        return nullptr;
    }
    return nullptr;
}

// Waits for this many more request frames on the bus while the event loop
// turns (the bus's own wait would block it).
bool waitForRequests(const SimBus &bus, int more, int timeoutMs = 5000)
{
    const int target = bus.requestCount() + more;
    return QTest::qWaitFor([&] { return bus.requestCount() >= target; }, timeoutMs);
}

qint64 msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

const QString zombie5 = QStringLiteral("[MONITOR]: ZOMBIE - SN(KV0005) - ADDRESS(5)");
const QString pollFailed5 = QStringLiteral("[ERROR]: CMD(ECHO) - MSG(READ_ERROR) - ADDR(5)");
const QString queryFailed5 = QStringLiteral("[ERROR]: CMD(QUERY) - MSG(READ_ERROR) - ADDR(5)");
const QString muted5 = QStringLiteral("[ALARM]: STATE(ALARM<[AUDIO MUTE]>) - SN(KV0005) - ADDRESS(5)");

// The supervisor on a simulated bus with the two views' data: the table
// model and an icon view on it; the gap meter runs once the bus is read out.
struct Rig
{
    // Paced like a real line: unpaced, dozens of polls report the update flag
    // before its first query is queued. The generous time-out keeps the
    // healthy monitors from failing on a busy machine.
    bool start(const QList<quint8> &addresses, int timeoutMs = 150, int baud = 9600)
    {
        if (baud)
            f.bus.setBaud(baud);
        if (!f.startWith(addresses, timeoutMs))
            return false;
        icons.setModel(f.model.get());
        icons.setModelColumn(MonitorModel::IconColumn);
        icons.resize(600, 400);
        icons.show();
        if (!QTest::qWaitForWindowExposed(&icons))
            return false;
        meter.start();
        return true;
    }
    QStringList views() const { return rows(*f.model, icons); }
    // With the fault on monitor 5, a new version and an audio-mute alarm
    // there still reach the views, and the alarm line is all that is
    // logged; the trace holds the exchanges since the fault was set.
    bool answersDespite(const SimFault &fault)
    {
        f.mark();
        if (!f.bus.setFault(5, fault))
            return false;
        f.bus.clearTrace();
        if (!f.bus.setVersion(5, QStringLiteral("V3.0")) || !f.bus.setAlarm(5, 0x08) || !f.waitForMessage(muted5))
            return false;
        const QStringList expected{"5 alarm KV0005 V3.0", "6 normal KV0006 V2.1"};
        if (!QTest::qWaitFor([&] { return views() == expected; }, 5000)) {
            qWarning() << "views:" << views();
            return false;
        }
        const QStringList logged = f.newMessages();
        if (logged != QStringList{muted5})
            qWarning() << "logged:" << logged;
        return logged == QStringList{muted5};
    }
    const CMonitor *first() const { return f.controller->monitorAt(0); }

    SupervisionFixture f;
    MIconView icons;
    LoopGapMeter meter;
};

} // namespace

// The lines logged since the mark, one per line, so that a failure shows
// them all rather than only how many there were.
#define COMPARE_LOGGED(fixture, expected) \
    QCOMPARE((fixture).newMessages().join(u'\n'), (expected).join(u'\n'))

// Stops the meter and fails the case if the main thread ever held its
// event loop up for MaxGapMs or longer (reported only under the race
// detector, whose own report writing holds threads up).
#define VERIFY_LOOP_KEPT_TURNING(rig)                                                              \
    do {                                                                                           \
        (rig).meter.stop();                                                                        \
        qInfo("%s: %s", QTest::currentTestFunction(), qPrintable((rig).meter.summary()));          \
        if (!threadSanitized())                                                                    \
            QVERIFY2((rig).meter.longestStall().stallMs() < MaxGapMs, qPrintable((rig).meter.summary())); \
    } while (false)

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    // A monitor that falls silent: one error and one zombie line, one change;
    // its further failures say nothing, and its first answer reads it out
    // afresh.
    void silence()
    {
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        QSignalSpy changed(f.controller.get(), &MController::monitorChanged);
        f.mark();
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Silence)));
        QVERIFY(f.waitForMessage(zombie5));
        COMPARE_LOGGED(f, QStringList({pollFailed5, zombie5}));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(qvariant_cast<CMonitor>(changed.at(0).at(0)).state, quint32(CMonitor::StateZombie));
        QCOMPARE(rig.views(), QStringList({"5 zombie KV0005 V2.1", "6 normal KV0006 V2.1"}));

        // Further failed polls and queries stay silent; the zombie keeps its place.
        f.mark();
        f.bus.clearTrace();
        f.controller->transactionThread()->enqueue(new QueryCmd(0x0C, 6, 5));
        QTRY_VERIFY_WITH_TIMEOUT(requestsTo(f.bus, 5).contains(QStringLiteral("85 90 0c 06")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(requestsTo(f.bus, 5).size() >= 3, 5000);
        COMPARE_LOGGED(f, QStringList());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(rig.views(), QStringList({"5 zombie KV0005 V2.1", "6 normal KV0006 V2.1"}));

        // It answers again: read out as a monitor just switched on, nothing logged.
        QVERIFY(f.bus.setVersion(5, QStringLiteral("V3.0")));
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::None)));
        QTRY_COMPARE_WITH_TIMEOUT(rig.views(), QStringList({"5 normal KV0005 V3.0", "6 normal KV0006 V2.1"}), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.first()->pendingQueries, 0u, 5000);
        COMPARE_LOGGED(f, QStringList());
        VERIFY_LOOP_KEPT_TURNING(rig);
    }

    // Stray bytes before each reply are dropped: the replies count, nothing
    // is logged but the alarm itself.
    void noise()
    {
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        QVERIFY(rig.answersDespite(SimFault(SimFault::Noise, 8)));
        // The noise really was on the line, ahead of the sync byte.
        const QList<SimTraceEntry> trace = f.bus.trace();
        for (const char *request : {"85 82", "85 90 0c 06"}) {
            const SimTraceEntry *reply = replyTo(trace, QLatin1String(request));
            QVERIFY2(reply, request);
            const QByteArray stray = reply->bytes.left(8);
            QVERIFY2(reply->bytes.size() > 8 && quint8(reply->bytes.at(8)) == 0x85
                         && std::all_of(stray.begin(), stray.end(), [](char c) { return !(quint8(c) & 0x80); }),
                     reply->bytes.toHex(' ').constData());
        }
        VERIFY_LOOP_KEPT_TURNING(rig);
    }

    // A reply in pieces, with pauses inside the time-out, is put together.
    void split()
    {
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        QVERIFY(rig.answersDespite(SimFault(SimFault::Split, 40)));
        // The version reply came in three pieces, two pauses apart.
        const QList<SimTraceEntry> trace = f.bus.trace();
        const SimTraceEntry *version = replyTo(trace, QStringLiteral("85 90 0c 06"));
        QVERIFY(version);
        QVERIFY2(msBetween(version->start, version->end) >= 80, qPrintable(QString::number(msBetween(version->start, version->end))));
        VERIFY_LOOP_KEPT_TURNING(rig);
    }

    // A reply late but within the time-out is an answer like any other.
    void lateWithinTimeOut()
    {
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        QVERIFY(rig.answersDespite(SimFault(SimFault::Late, 60)));
        const QList<SimTraceEntry> trace = f.bus.trace();
        const SimTraceEntry *version = replyTo(trace, QStringLiteral("85 90 0c 06"));
        QVERIFY(version);
        for (const SimTraceEntry &entry : trace) {
            if (entry.kind == SimTraceEntry::Request && QString::fromLatin1(entry.bytes.toHex(' ')) == QLatin1String("85 90 0c 06")) {
                QVERIFY(msBetween(entry.end, version->start) >= 60);
                break;
            }
        }
        VERIFY_LOOP_KEPT_TURNING(rig);
    }

    // A reply later than the time-out is no reply: the monitor is a zombie
    // once, whatever comes late. The delay puts each late reply into the
    // pause after the failed exchange, where the next exchange's purge
    // drops it.
    void latePastTimeOut()
    {
        if (threadSanitized())
            QSKIP("a 50 ms margin either side of the reply is lost to the race detector's report stalls");
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        f.mark();
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Late, 200)));
        QVERIFY(f.waitForMessage(zombie5));
        f.bus.clearTrace();
        QVERIFY(f.bus.setVersion(6, QStringLiteral("V3.0"))); // the other monitor goes on
        QTRY_VERIFY_WITH_TIMEOUT(repliesOf(f.bus, 5).size() >= 3, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.views(), QStringList({"5 zombie KV0005 V2.1", "6 normal KV0006 V3.0"}), 5000);
        COMPARE_LOGGED(f, QStringList({pollFailed5, zombie5}));

        QVERIFY(f.bus.setFault(5, SimFault(SimFault::None)));
        QTRY_COMPARE_WITH_TIMEOUT(rig.views(), QStringList({"5 normal KV0005 V2.1", "6 normal KV0006 V3.0"}), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.first()->pendingQueries, 0u, 5000);
        COMPARE_LOGGED(f, QStringList({pollFailed5, zombie5}));
        VERIFY_LOOP_KEPT_TURNING(rig);
    }

    // An invalid alarm byte resets the stored byte without a word, as a
    // report of an unchanged byte would leave it; a valid one is news again.
    void badAlarm()
    {
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        f.mark();
        QVERIFY(f.bus.setAlarm(5, 0x08));
        QVERIFY(f.waitForMessage(muted5));
        QTRY_COMPARE_WITH_TIMEOUT(rig.views(), QStringList({"5 alarm KV0005 V2.1", "6 normal KV0006 V2.1"}), 5000);

        f.mark();
        f.bus.clearTrace();
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::BadAlarm, 0x05)));
        QVERIFY(f.bus.setAlarm(5, 0x10));
        QTRY_COMPARE_WITH_TIMEOUT(rig.first()->alarm, 0, 5000);
        QCOMPARE(rig.views(), QStringList({"5 normal KV0005 V2.1", "6 normal KV0006 V2.1"}));
        QVERIFY(replyTo(f.bus.trace(), QStringLiteral("85 82")));
        QCOMPARE(QString::fromLatin1(replyTo(f.bus.trace(), QStringLiteral("85 82"))->bytes.toHex(' ')), QStringLiteral("85 05"));
        COMPARE_LOGGED(f, QStringList());

        QVERIFY(f.bus.setFault(5, SimFault(SimFault::None)));
        QVERIFY(f.bus.setAlarm(5, 0x08));
        QVERIFY(f.waitForMessage(muted5));
        QCOMPARE(rig.views(), QStringList({"5 alarm KV0005 V2.1", "6 normal KV0006 V2.1"}));
        COMPARE_LOGGED(f, QStringList({muted5}));
        VERIFY_LOOP_KEPT_TURNING(rig);
    }

    // A query reply naming another item is not applied and not logged; the
    // item stays pending and is asked for with the next update report.
    void wrongItem()
    {
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        f.mark();
        f.bus.clearTrace();
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::WrongItem)));
        QVERIFY(f.bus.setVersion(5, QStringLiteral("V3.0")));
        QTRY_VERIFY_WITH_TIMEOUT(replyTo(f.bus.trace(), QStringLiteral("85 90 0c 06")), 5000);
        QCOMPARE(QString::fromLatin1(replyTo(f.bus.trace(), QStringLiteral("85 90 0c 06"))->bytes.toHex(' ').left(5)), QStringLiteral("85 0d"));
        QVERIFY(waitForRequests(f.bus, 4)); // its reply analysed meanwhile
        QTRY_COMPARE_WITH_TIMEOUT(rig.first()->pendingQueries, quint32(CMonitor::QueryVersion), 5000);
        QCOMPARE(rig.views(), QStringList({"5 normal KV0005 V2.1", "6 normal KV0006 V2.1"}));
        COMPARE_LOGGED(f, QStringList());

        QVERIFY(f.bus.setFault(5, SimFault(SimFault::None)));
        QVERIFY(f.bus.setInputMode(5, 7, 3));
        QTRY_COMPARE_WITH_TIMEOUT(rig.views(), QStringList({"5 normal KV0005 V3.0", "6 normal KV0006 V2.1"}), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.first()->pendingQueries, 0u, 5000);
        COMPARE_LOGGED(f, QStringList());
        VERIFY_LOOP_KEPT_TURNING(rig);
    }

    // A monitor that answers all but information queries: switched on, each
    // failed query leaves an error line, the items stay pending, and the
    // next update report asks for every one of them again.
    void noQueries()
    {
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::NoQueries)));
        QVERIFY(f.bus.setPower(5, false));
        QTRY_COMPARE_WITH_TIMEOUT(rig.views(), QStringList({"5 off KV0005 V2.1", "6 normal KV0006 V2.1"}), 5000);
        f.mark();
        QVERIFY(f.bus.setVersion(5, QStringLiteral("V3.0")));
        QVERIFY(f.bus.setPower(5, true));
        QTRY_VERIFY_WITH_TIMEOUT(f.newMessages().size() >= 6, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.views(), QStringList({"5 normal KV0005 V2.1", "6 normal KV0006 V2.1"}), 5000);
        QCOMPARE(f.newMessages().filter(queryFailed5).size(), f.newMessages().size());
        QCOMPARE(rig.first()->pendingQueries, quint32(CMonitor::AllQueries));
        // Every query asked has failed once nothing but polls go to it.
        f.bus.clearTrace();
        QTRY_VERIFY_WITH_TIMEOUT(requestsTo(f.bus, 5).size() >= 3
                                     && requestsTo(f.bus, 5).mid(requestsTo(f.bus, 5).size() - 3)
                                            == QStringList({"85 80", "85 80", "85 80"}), 5000);
        QCOMPARE(f.newMessages().filter(queryFailed5).size(), f.newMessages().size());

        QVERIFY(f.bus.setFault(5, SimFault(SimFault::None)));
        f.mark();
        QVERIFY(f.bus.setInputMode(5, 7, 3));
        QTRY_COMPARE_WITH_TIMEOUT(rig.first()->pendingQueries, 0u, 5000);
        QCOMPARE(rig.views(), QStringList({"5 normal KV0005 V3.0", "6 normal KV0006 V2.1"}));
        COMPARE_LOGGED(f, QStringList());
        VERIFY_LOOP_KEPT_TURNING(rig);
    }

    // A monitor that answers for a while, then dies: after its last answer,
    // exactly one error and one zombie line.
    void diesAfter_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("value");
        QTest::newRow("5 polls") << int(SimFault::DiesAfterPolls) << 5;
        QTest::newRow("600 ms") << int(SimFault::DiesAfterMs) << 600;
    }
    void diesAfter()
    {
        QFETCH(int, kind);
        QFETCH(int, value);
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        f.mark();
        f.bus.clearTrace();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Kind(kind), value)));
        QVERIFY(f.waitForMessage(zombie5));
        COMPARE_LOGGED(f, QStringList({pollFailed5, zombie5}));
        QCOMPARE(rig.views(), QStringList({"5 zombie KV0005 V2.1", "6 normal KV0006 V2.1"}));
        const int answered = repliesOf(f.bus, 5).size();
        if (kind == SimFault::DiesAfterPolls) // one poll may have been on its way when the fault was set
            QVERIFY2(answered == value || answered == value + 1, qPrintable(QString::number(answered)));
        else
            QVERIFY2(clock.elapsed() >= value && answered >= 2, qPrintable(QString::number(clock.elapsed())));

        // Dead it stays: its later polls fail without a word.
        QVERIFY(waitForRequests(f.bus, 6));
        COMPARE_LOGGED(f, QStringList({pollFailed5, zombie5}));
        QCOMPARE(rig.views(), QStringList({"5 zombie KV0005 V2.1", "6 normal KV0006 V2.1"}));
        VERIFY_LOOP_KEPT_TURNING(rig);
    }

    // The device itself vanishes and comes back behind the same link.
    void vanishAndReappear()
    {
        Rig rig;
        SupervisionFixture &f = rig.f;
        const QString link = f.linkBus();
        QVERIFY(rig.start({2, 3, 5}));
        QVERIFY(f.bus.setPower(3, false));
        QVERIFY(f.bus.setAlarm(3, 0x08)); // off: it does not count
        QVERIFY(f.bus.setAlarm(5, 0x08));
        const CMonitor *off = f.controller->monitorAt(1);
        QTRY_VERIFY_WITH_TIMEOUT(off->alarm == 8 && off->state == 0 && f.controller->monitorAt(2)->alarm == 8, 5000);
        QCOMPARE(f.controller->alarmCount(), 1);
        const QStringList before = rig.views();
        QCOMPARE(before, QStringList({"2 normal KV0002 V2.1", "3 off KV0003 V2.1", "5 alarm KV0005 V2.1"}));
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
        QCOMPARE(rig.views(), QStringList({"2 zombie KV0002 V2.1", "3 zombie KV0003 V2.1", "5 zombie KV0005 V2.1"}));

        // While lost a key press fails at once and is reported once; the rest
        // of the outage, spanning the worker's tries to reopen, stays quiet.
        f.controller->sendControl(0x84, 5);
        const QString refused = QStringLiteral("[ERROR]: CMD(CONTROL) - MSG(SEND_ERROR) - ADDR(5)");
        QVERIFY(f.waitForMessage(refused, 500));
        QTest::qWait(2500); // proves the absence of further lines
        QVERIFY2(f.newMessages() == QStringList({lost, refused}), qPrintable(f.newMessages().join(QLatin1String(" | "))));

        // Back on another device node behind the same link: polling resumes
        // without a search and every monitor comes back as it was.
        f.mark();
        QString error;
        QVERIFY2(f.bus.reappear(&error, true), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::LinkOk, 2000);
        const qint64 down = clock.elapsed() / 1000;
        QTRY_COMPARE_WITH_TIMEOUT(rig.views(), before, 5000);
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
        COMPARE_LOGGED(f, QStringList({QStringLiteral("[ERROR]: Open %1 failed.").arg(link)}));
        QCOMPARE(rig.views(), QStringList());
        QSignalSpy openFailed(f.controller.get(), &MController::openFailed);
        QVERIFY(!f.controller->startSearch());
        QCOMPARE(openFailed.value(0).value(0).toString(), link);
        QCOMPARE(f.controller->linkState(), MController::PortLost);
        QVERIFY(f.bus.reappear());
        QVERIFY(f.waitForMessage(QStringLiteral("[SEARCH]: START..."), 3000));
        // Listed as the probes find them; their queries wait for the end of
        // the search.
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->monitorCount(), 3, 5000);
        QCOMPARE(rig.views(), QStringList({"2 normal  ", "3 off  ", "5 normal  "}));
        QCOMPARE(f.controller->linkState(), MController::LinkOk);
        QCOMPARE(f.newMessages().filter(QStringLiteral("LINK RESTORED")).size(), 1);

        // Quitting while lost is quick, and the log is closed. Quitting
        // waits for the worker by design, so the meter stops before it.
        QVERIFY(f.bus.vanish());
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->linkState(), MController::PortLost, 1000);
        VERIFY_LOOP_KEPT_TURNING(rig);
        clock.restart();
        f.destroyController();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.logMessages().last(), QStringLiteral("Log file closed."));
    }

    // The user removes a monitor just switched on while its information
    // queries wait in the queue. They still go out; whatever becomes of them
    // (a late answer, or none) brings nothing back and logs nothing, and the
    // address is not polled again.
    void removedWithQueriesQueued_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("value");
        QTest::newRow("answered late") << int(SimFault::Late) << 40;
        QTest::newRow("unanswered") << int(SimFault::NoQueries) << 0;
    }
    void removedWithQueriesQueued()
    {
        QFETCH(int, kind);
        QFETCH(int, value);
        Rig rig;
        SupervisionFixture &f = rig.f;
        QVERIFY(rig.start({5, 6}));
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Kind(kind), value)));
        QVERIFY(f.bus.setPower(5, false));
        QTRY_COMPARE_WITH_TIMEOUT(rig.views(), QStringList({"5 off KV0005 V2.1", "6 normal KV0006 V2.1"}), 5000);
        QSignalSpy added(f.controller.get(), &MController::monitorAdded);
        QSignalSpy inserted(f.model.get(), &QAbstractItemModel::rowsInserted);
        f.mark();
        f.bus.clearTrace();
        QVERIFY(f.bus.setPower(5, true));
        QTRY_VERIFY_WITH_TIMEOUT(requestsTo(f.bus, 5).contains(QStringLiteral("85 90 02 0a")), 5000);
        QVERIFY(f.controller->removeMonitor(f.controller->monitorAt(0)));
        const Clock::time_point removedAt = Clock::now();
        QCOMPARE(rig.views(), QStringList({"6 normal KV0006 V2.1"}));

        // Wait until nothing has gone to 5 for well over one failed exchange.
        QTRY_VERIFY_WITH_TIMEOUT(requestsTo(f.bus, 5, Clock::now() - std::chrono::milliseconds(600)).isEmpty(), 10000);
        const QStringList after = requestsTo(f.bus, 5, removedAt);
        QVERIFY2(after.size() >= 2, qPrintable(after.join(QLatin1String(", "))));
        QVERIFY2(after.contains(QStringLiteral("85 90 3e 0a")) && !after.contains(QStringLiteral("85 80")),
                 qPrintable(after.join(QLatin1String(", ")))); // the last query went out, no poll
        if (kind == SimFault::Late)
            QVERIFY(repliesOf(f.bus, 5, removedAt).size() >= 2);
        else
            QCOMPARE(repliesOf(f.bus, 5, removedAt), QStringList());
        COMPARE_LOGGED(f, QStringList({"[MONITOR]: REMOVED - SN(KV0005) - ADDRESS(5)"}));
        QCOMPARE(rig.views(), QStringList({"6 normal KV0006 V2.1"}));
        QCOMPARE(f.controller->monitorCount(), 1);
        QCOMPARE(added.size(), 0);
        QCOMPARE(inserted.size(), 0);
        VERIFY_LOOP_KEPT_TURNING(rig);
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
