// The worker's exchanges as the simulated monitors see them on a real
// pseudo-terminal: the search, the order of search, queue and polls, replies
// that arrive damaged, late or in pieces, and frames that expect no reply.
#include "alarmcmd.h"
#include "cmonitor.h"
#include "commandrecorder.h"
#include "controlcmd.h"
#include "querycmd.h"
#include "rscmd.h"
#include "rsthread.h"
#include "simbusfixture.h"
#include "umdcmd.h"
#include "warningwatch.h"

#include <QtTest>

#include <memory>

namespace {

using Event = CommandRecorder::Event;

// A bus, a transport and a receiver for what it hands over. The transport is
// stopped and every pending hand-over delivered (and deleted) before the
// receiver goes.
struct Rig {
    SimBusFixture fx;
    RSThread thread;
    CommandRecorder rec{&thread};

    ~Rig()
    {
        thread.stopBus();
        QCoreApplication::sendPostedEvents();
    }
};

// Echo request frame for an address.
QByteArray echoFrame(int address)
{
    return QByteArray::fromHex(QByteArray::number(0x80 | address, 16) + "80");
}

// Waits until the line has been silent for quietMs, so that what the trace
// holds is final.
void waitForQuietLine(SimBusFixture &fx, int quietMs)
{
    int last = -1;
    while (fx.bus().requestCount() != last) {
        last = fx.bus().requestCount();
        QTest::qWait(quietMs);
    }
}

} // namespace

class TestRSThreadExchange : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchOverEmptyBus();
    void commandsQueuedDuringSearchWaitForItsEnd();
    void cancelSearchRunsTheChosenEchoOnly();
    void faultyReplies_data();
    void faultyReplies();
    void lateReplyDoesNotLeakIntoLaterExchanges();
    void umdFrameIsNotAnswered();
    void pollsFollowTheListAcrossRemovals();
    void listChangesWhilePollingNeverBreakTheLoop();
    void zeroTotalTimeout();
    void addressZeroIsNeverSent();

private:
    std::unique_ptr<WarningWatch> m_watch;
};

void TestRSThreadExchange::init()
{
    m_watch = std::make_unique<WarningWatch>();
}

void TestRSThreadExchange::cleanup()
{
    // Whatever the port or its notifiers might complain about after the
    // worker handed the port back shows up once events run.
    QTest::qWait(20);
    const QStringList bad = m_watch->threadWarnings();
    m_watch.reset();
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
}

void TestRSThreadExchange::searchOverEmptyBus()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    rig.fx.writeSettings(30);

    rig.thread.stopBus(); // arms the search, as every bus start after a stop does
    QVERIFY(rig.thread.startBus());
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() == 126, 40000);

    // Addresses 1 to 126 announced in order, the search ends once, and its
    // end comes before the last echo's hand-over.
    QList<int> expected;
    for (int a = 1; a <= 126; ++a)
        expected << a;
    QCOMPARE(rig.rec.searchedAddresses(), expected);
    QCOMPARE(rig.rec.searchDoneCount(), 1);
    const QList<Event> events = rig.rec.events();
    int doneAt = -1;
    int lastCommandAt = -1;
    for (int i = 0; i < events.size(); ++i) {
        if (events[i].kind == Event::SearchDone)
            doneAt = i;
        if (events[i].kind == Event::CommandDone)
            lastCommandAt = i;
    }
    QVERIFY(doneAt >= 0);
    QVERIFY2(doneAt < lastCommandAt, "searchDone must precede the last cmdDone");
    QCOMPARE(events[lastCommandAt].address, 126);

    // Every echo went out, in order, and failed for want of an answer.
    const QList<Event> commands = rig.rec.commands();
    for (int i = 0; i < commands.size(); ++i) {
        QCOMPARE(commands[i].address, i + 1);
        QCOMPARE(commands[i].code, int(RSCmd::CodeEcho));
        QCOMPARE(commands[i].status, int(RSCmd::StatusReadError));
        QVERIFY(commands[i].reply.isEmpty());
    }
    const QList<SimTraceEntry> requests = rig.fx.requests();
    QCOMPARE(requests.size(), 126);
    for (int i = 0; i < requests.size(); ++i)
        QCOMPARE(requests[i].bytes, echoFrame(i + 1));

    // Nothing found, nothing queued: the line stays quiet afterwards.
    QTest::qWait(300);
    QCOMPARE(rig.fx.bus().requestCount(), 126);
    QCOMPARE(rig.rec.commandCount(), 126);
}

void TestRSThreadExchange::commandsQueuedDuringSearchWaitForItsEnd()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    for (int a = 1; a <= 126; ++a)
        QVERIFY(rig.fx.bus().addMonitor(quint8(a)));
    rig.fx.bus().setTurnaround(1); // keeps the search running for a while
    rig.fx.writeSettings(50);

    rig.thread.stopBus();
    QVERIFY(rig.thread.startBus());
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.searchedAddresses().size() >= 3, 5000);
    rig.thread.enqueue(new ControlCmd(0x90, 7));
    rig.thread.enqueue(new AlarmCmd(9));
    QVERIFY2(rig.fx.bus().requestCount() < 120, "the search must still be running");

    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() == 128, 10000);
    const QList<Event> commands = rig.rec.commands();
    for (int i = 0; i < 126; ++i) {
        QCOMPARE(commands[i].address, i + 1);
        QCOMPARE(commands[i].status, int(RSCmd::StatusOk));
    }
    QCOMPARE(commands[126].code, int(RSCmd::CodeControl));
    QCOMPARE(commands[126].address, 7);
    QCOMPARE(commands[127].code, int(RSCmd::CodeAlarm));
    QCOMPARE(commands[127].address, 9);

    const QList<SimTraceEntry> requests = rig.fx.requests();
    QVERIFY(requests.size() >= 128);
    QCOMPARE(requests[125].bytes, echoFrame(126));
    QCOMPARE(requests[126].bytes, QByteArray::fromHex("87d00090"));
    QCOMPARE(requests[127].bytes, QByteArray::fromHex("8982"));
}

void TestRSThreadExchange::cancelSearchRunsTheChosenEchoOnly()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    for (int a = 1; a <= 126; ++a)
        QVERIFY(rig.fx.bus().addMonitor(quint8(a)));
    rig.fx.bus().setTurnaround(10);
    rig.fx.writeSettings(60);

    // Cancelled from the main thread as soon as address 10 is announced;
    // a command queued at the same moment is served next.
    connect(&rig.thread, &RSThread::searchingAddressChanged, &rig.rec, [&rig](quint8 address) {
        if (address == 10) {
            rig.thread.cancelSearch();
            rig.thread.enqueue(new AlarmCmd(3));
        }
    });
    rig.thread.stopBus();
    QVERIFY(rig.thread.startBus());
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commands().size() >= 11, 5000);
    waitForQuietLine(rig.fx, 200);
    QCoreApplication::sendPostedEvents();

    QCOMPARE(rig.rec.searchDoneCount(), 0);
    const QList<int> searched = rig.rec.searchedAddresses();
    QVERIFY(searched.size() >= 10);
    QVERIFY(searched.size() < 126);
    for (int i = 0; i < searched.size(); ++i)
        QCOMPARE(searched[i], i + 1);

    // Every announced echo was still exchanged, then the queued command
    // went out, and nothing else: no monitor is listed, so nobody is polled.
    const QList<Event> commands = rig.rec.commands();
    QCOMPARE(commands.size(), searched.size() + 1);
    for (int i = 0; i < searched.size(); ++i) {
        QCOMPARE(commands[i].address, searched[i]);
        QCOMPARE(commands[i].code, int(RSCmd::CodeEcho));
        QCOMPARE(commands[i].status, int(RSCmd::StatusOk));
    }
    QCOMPARE(commands.last().code, int(RSCmd::CodeAlarm));
    QCOMPARE(commands.last().status, int(RSCmd::StatusOk));
    const QList<SimTraceEntry> requests = rig.fx.requests();
    QCOMPARE(requests.size(), commands.size());
    QCOMPARE(requests.last().bytes, QByteArray::fromHex("8382"));
}

void TestRSThreadExchange::faultyReplies_data()
{
    QTest::addColumn<QString>("fault");     // in the simulator's command language
    QTest::addColumn<QString>("command");   // "echo" or "query"
    QTest::addColumn<int>("expectedStatus");
    QTest::addColumn<int>("minimumSpreadMs"); // first to last reply byte on the line

    QTest::newRow("healthy echo") << "" << "echo" << int(RSCmd::StatusOk) << 0;
    QTest::newRow("noise before echo reply") << "noise 3" << "echo" << int(RSCmd::StatusOk) << 0;
    QTest::newRow("long noise before query reply")
        << "noise 40" << "query" << int(RSCmd::StatusOk) << 0;
    QTest::newRow("echo reply in pieces") << "split 15" << "echo" << int(RSCmd::StatusOk) << 15;
    QTest::newRow("query reply in pieces") << "split 15" << "query" << int(RSCmd::StatusOk) << 30;
    QTest::newRow("late echo reply") << "late 300" << "echo" << int(RSCmd::StatusReadError) << 0;
    QTest::newRow("silent monitor") << "silence" << "query" << int(RSCmd::StatusReadError) << 0;
}

void TestRSThreadExchange::faultyReplies()
{
    QFETCH(QString, fault);
    QFETCH(QString, command);
    QFETCH(int, expectedStatus);
    QFETCH(int, minimumSpreadMs);

    Rig rig;
    QVERIFY(rig.fx.isValid());
    QVERIFY(rig.fx.bus().addMonitor(5));
    QVERIFY(rig.fx.bus().setSerialNumber(5, QStringLiteral("SN-0005")));
    QString error;
    if (!fault.isEmpty())
        QVERIFY2(rig.fx.bus().command(QStringLiteral("fault 5 ") + fault, &error), qPrintable(error));
    rig.fx.writeSettings(120);

    QVERIFY(rig.thread.startBus());
    RSCmd *cmd = command == QLatin1String("echo") ? new RSCmd(5) : new QueryCmd(0x02, 10, 5);
    const int replyLength = cmd->replyLength;
    rig.thread.enqueue(cmd);
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() == 1, 5000);

    const Event done = rig.rec.commands().first();
    QCOMPARE(done.status, expectedStatus);
    if (expectedStatus != RSCmd::StatusOk) {
        QVERIFY(done.reply.size() < replyLength);
        return;
    }

    // Exactly the monitor's reply: what preceded the sync byte is gone, the
    // pieces are joined, nothing beyond the reply length was taken.
    QVERIFY(rig.fx.bus().waitForIdle(1000));
    QList<SimTraceEntry> replies;
    for (const SimTraceEntry &e : rig.fx.bus().trace()) {
        if (e.kind == SimTraceEntry::Reply)
            replies << e;
    }
    QCOMPARE(replies.size(), 1);
    const QByteArray onLine = replies.first().bytes;
    QCOMPARE(done.reply.size(), replyLength);
    QCOMPARE(quint8(done.reply.at(0)), quint8(0x85));
    QCOMPARE(onLine.right(replyLength), done.reply);
    if (fault.startsWith(QLatin1String("noise")))
        QVERIFY(onLine.size() > replyLength);
    if (command == QLatin1String("query")) {
        QCOMPARE(quint8(done.reply.at(1)), quint8(0x02));
        QVERIFY(done.reply.mid(2).startsWith("SN-0005"));
    }
    // The simulator stamps a piece when its write returns and schedules the
    // next from when it was due, so allow it a millisecond of its own latency.
    QVERIFY(SimBusFixture::msBetween(replies.first().start, replies.first().end) >= minimumSpreadMs - 1);
}

void TestRSThreadExchange::lateReplyDoesNotLeakIntoLaterExchanges()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    QVERIFY(rig.fx.bus().addMonitor(5));
    QVERIFY(rig.fx.bus().addMonitor(6));
    QVERIFY(rig.fx.bus().setFault(5, SimFault(SimFault::Late, 180)));
    rig.fx.writeSettings(40);

    QVERIFY(rig.thread.startBus());
    rig.thread.enqueue(new RSCmd(5));
    rig.thread.enqueue(new RSCmd(6));
    rig.thread.enqueue(new RSCmd(6));
    rig.thread.enqueue(new RSCmd(6));
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() == 4, 5000);
    QVERIFY(rig.fx.bus().waitForIdle(1000));

    const QList<Event> commands = rig.rec.commands();
    QCOMPARE(commands[0].status, int(RSCmd::StatusReadError));
    for (int i = 1; i < 4; ++i) {
        QCOMPARE(commands[i].status, int(RSCmd::StatusOk));
        QCOMPARE(commands[i].reply.size(), 2);
        QCOMPARE(quint8(commands[i].reply.at(0)), quint8(0x86));
    }
    int lateReplies = 0;
    for (const SimTraceEntry &e : rig.fx.bus().trace())
        lateReplies += e.kind == SimTraceEntry::Reply && e.address == 5;
    QCOMPARE(lateReplies, 1); // it did come, just too late to count
}

void TestRSThreadExchange::umdFrameIsNotAnswered()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    QVERIFY(rig.fx.bus().addMonitor(5));
    rig.fx.writeSettings(60);

    QVERIFY(rig.thread.startBus());
    rig.thread.enqueue(new UMDCmd("AB", 3, 5));
    rig.thread.enqueue(new RSCmd(5));
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() == 2, 5000);
    QVERIFY(rig.fx.bus().waitForIdle(1000));

    const QList<Event> commands = rig.rec.commands();
    QCOMPARE(commands[0].code, int(RSCmd::CodeUmd));
    QCOMPARE(commands[0].status, int(RSCmd::StatusOk));
    QVERIFY(commands[0].reply.isEmpty());
    QCOMPARE(commands[1].status, int(RSCmd::StatusOk));

    const std::optional<SimMonitorState> state = rig.fx.bus().monitor(5);
    QVERIFY(state.has_value());
    QCOMPARE(state->umdText, QByteArray("AB      "));
    QCOMPARE(int(state->umdTally), 3);

    // The monitor is given 20 ms with the UMD frame before the next request
    // starts. The simulator stamps frames when its own thread sees them, so
    // its wake-up latency on the first frame is allowed for.
    const QList<SimTraceEntry> requests = rig.fx.requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[0].bytes.size(), 18);
    QCOMPARE(requests[1].bytes, echoFrame(5));
    const double gapMs = SimBusFixture::msBetween(requests[0].end, requests[1].start);
    QVERIFY2(gapMs >= RSThread::UmdPauseMs - 1.0, qPrintable(QString::number(gapMs)));
    int umdReplies = 0;
    for (const SimTraceEntry &e : rig.fx.bus().trace())
        umdReplies += e.kind == SimTraceEntry::Reply && e.start < requests[1].start;
    QCOMPARE(umdReplies, 0);
}

void TestRSThreadExchange::pollsFollowTheListAcrossRemovals()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    for (quint8 a : {3, 5, 7})
        QVERIFY(rig.fx.bus().addMonitor(a));
    rig.fx.writeSettings(50);

    // Added out of order, kept in ascending order.
    QCOMPARE(rig.thread.addMonitor(new CMonitor(7)), 0);
    QCOMPARE(rig.thread.addMonitor(new CMonitor(3)), 0);
    QCOMPARE(rig.thread.addMonitor(new CMonitor(5)), 1);

    QVERIFY(rig.thread.startBus());
    QVERIFY(rig.fx.bus().waitForRequests(12, 5000));
    QList<int> polled = rig.fx.requestAddresses().mid(0, 12);
    QCOMPARE(polled, (QList<int>{3, 5, 7, 3, 5, 7, 3, 5, 7, 3, 5, 7}));

    // The last monitor goes while the worker is polling: the index that
    // pointed past the end starts again at the first monitor.
    CMonitor gone(7);
    QCOMPARE(rig.thread.removeMonitor(&gone), 2);
    QVERIFY(rig.thread.wasRemoved(7));
    QTest::qWait(30); // let an echo to 7 already chosen finish
    const int mark = rig.fx.bus().requestCount();
    QVERIFY(rig.fx.bus().waitForRequests(mark + 10, 5000));
    polled = rig.fx.requestAddresses().mid(mark, 10);
    QVERIFY2(!polled.contains(7), qPrintable(QString::number(polled.count())));
    for (int i = 1; i < polled.size(); ++i)
        QVERIFY(polled[i] != polled[i - 1]); // 3 and 5 alternate

    // With the list empty the worker stops polling.
    CMonitor three(3);
    CMonitor five(5);
    QCOMPARE(rig.thread.removeMonitor(&three), 0);
    QCOMPARE(rig.thread.removeMonitor(&five), 0);
    waitForQuietLine(rig.fx, 100);
    const int quiet = rig.fx.bus().requestCount();
    QTest::qWait(200);
    QCOMPARE(rig.fx.bus().requestCount(), quiet);

    QCoreApplication::sendPostedEvents();
    for (const Event &e : rig.rec.commands())
        QCOMPARE(e.status, int(RSCmd::StatusOk));
}

void TestRSThreadExchange::listChangesWhilePollingNeverBreakTheLoop()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    for (int a = 1; a <= 6; ++a)
        QVERIFY(rig.fx.bus().addMonitor(quint8(a)));
    rig.fx.writeSettings(50);
    for (int a = 1; a <= 6; ++a)
        QVERIFY(rig.thread.addMonitor(new CMonitor(quint8(a))) >= 0);
    QVERIFY(rig.thread.startBus());

    // Monitors come and go under the worker's feet, also while the list is
    // held locked as the supervisor holds it during its analysis.
    for (int round = 0; round < 300; ++round) {
        const quint8 a = quint8(1 + round % 6);
        CMonitor probe(a);
        if (round % 2) {
            rig.thread.removeMonitor(&probe);
        } else {
            rig.thread.lockMonitors();
            if (!rig.thread.findMonitor(a))
                QVERIFY(rig.thread.addMonitor(new CMonitor(a)) >= 0);
            QVERIFY(rig.thread.replaceMonitor(new CMonitor(a)) >= 0);
            rig.thread.unlockMonitors();
        }
        if (round % 25 == 0)
            QTest::qWait(5);
    }
    const int mark = rig.fx.bus().requestCount();
    QVERIFY(rig.thread.monitorCount() > 0);
    QVERIFY(rig.fx.bus().waitForRequests(mark + 5, 5000));
    rig.thread.stopBus();
    QCoreApplication::sendPostedEvents();
    for (const Event &e : rig.rec.commands()) {
        QVERIFY(e.address >= 1 && e.address <= 6);
        QCOMPARE(e.status, int(RSCmd::StatusOk));
    }
}

void TestRSThreadExchange::zeroTotalTimeout()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    QVERIFY(rig.fx.bus().addMonitor(5));
    QVERIFY(rig.fx.bus().addMonitor(6));
    QVERIFY(rig.fx.bus().setFault(6, SimFault(SimFault::Split, 20)));
    rig.fx.writeSettings(0);

    QVERIFY(rig.thread.startBus());
    QCOMPARE(rig.thread.totalTimeoutMs(), 0);
    rig.thread.enqueue(new RSCmd(5)); // answered in one piece: complete at the first read
    rig.thread.enqueue(new RSCmd(6)); // only the first piece by then
    rig.thread.enqueue(new RSCmd(9)); // nobody there
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() == 3, 5000);

    const QList<Event> commands = rig.rec.commands();
    QCOMPARE(commands[0].status, int(RSCmd::StatusOk));
    QCOMPARE(commands[1].status, int(RSCmd::StatusReadError));
    QCOMPARE(commands[2].status, int(RSCmd::StatusReadError));
    // Two failures cost one per-read wait and the pause each, nothing more.
    QVERIFY2(clock.elapsed() < 2 * (RSThread::FailurePauseMs + 4 * RSThread::ReadWaitMs) + 100,
             qPrintable(QString::number(clock.elapsed())));
}

void TestRSThreadExchange::addressZeroIsNeverSent()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    QVERIFY(rig.fx.bus().addMonitor(4));
    rig.fx.writeSettings(50);
    QVERIFY(rig.thread.startBus());
    rig.thread.enqueue(new RSCmd(0));
    rig.thread.enqueue(new ControlCmd(0xFF, 0));
    rig.thread.enqueue(new RSCmd(4));
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() == 1, 5000);
    QTest::qWait(100);
    QCOMPARE(rig.rec.commandCount(), 1);
    QCOMPARE(rig.rec.commands().first().address, 4);
    QCOMPARE(rig.fx.requestAddresses(), QList<int>{4});
}

QTEST_GUILESS_MAIN(TestRSThreadExchange)
#include "tst_transport_exchange.moc"
