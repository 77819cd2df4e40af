// The transport against simulated monitors on a real pseudo-terminal. Outcomes
// read "address status reply": status 1 is OK, 2 a send error, 3 a read error.
#include "monitor/cmonitor.h"
#include "protocol/alarmcmd.h"
#include "protocol/controlcmd.h"
#include "protocol/controlkeys.h"
#include "protocol/querycmd.h"
#include "protocol/umdcmd.h"
#include "tests/support/buslink.h"
#include "tests/support/transportrig.h"
#include "tests/support/workdir.h"
#include "transport/serialsettings.h"

#include <QtTest>

#include <memory>

using Event = Rig::Event;

namespace {

template<typename F>
QList<int> translated(F forIndex, const QList<int> &stored)
{
    QList<int> values;
    for (int i : stored)
        values << int(forIndex(i));
    return values;
}

} // namespace

class TestTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { watchMessages(); }
    void cleanup()
    {
        QLoggingCategory::setFilterRules(QString());
        QTest::qWait(20); // port and notifier complaints surface once events run: proves there are none
        QCOMPARE(takeWarnings(true), QStringList());
    }

    void translation()
    {
        // Outside its table a stored number goes to QSerialPort as it is, or as
        // an unknown value of the type when the type cannot hold it.
        QCOMPARE(translated(SerialSettings::baudRateForIndex, {-1, 0, 3, 12, 21, 22, 9600}),
                 (QList<int>{-1, 50, 134, 9600, 256000, 22, 9600}));
        QCOMPARE(translated(SerialSettings::dataBitsForIndex, {0, 1, 2, 3, 4, -1, 1000}),
                 (QList<int>{QSerialPort::Data5, QSerialPort::Data6, QSerialPort::Data7, QSerialPort::Data8, 4, 0, 0}));
        QCOMPARE(translated(SerialSettings::stopBitsForIndex, {0, 1, 2, 3, 9}),
                 (QList<int>{QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop, 3, 0}));
        QCOMPARE(translated(SerialSettings::parityForIndex, {0, 1, 2, 3, 4, 6, -7}),
                 (QList<int>{QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
                             QSerialPort::MarkParity, QSerialPort::SpaceParity, 6, 1}));
        QCOMPARE(translated(SerialSettings::flowControlForIndex, {0, 1, 2, 3, 77}),
                 (QList<int>{QSerialPort::NoFlowControl, QSerialPort::HardwareControl, QSerialPort::SoftwareControl, 3, 3}));
    }

    // Every key of the [serial] group lands in its own field, and back.
    void settingsFile()
    {
        WorkDir dir;
        const QStringList lines = {"[serial]", "boaudrate=5", "databits=1", "flowcontrol=4", "parity=3",
                                   "port=/dev/ttyX", "stopbits=2", "totaltimeout=777"};
        QVERIFY(dir.writeIni(lines.join(QLatin1Char('\n')).toUtf8()));
        const SerialSettings s = SerialSettings::read();
        QCOMPARE((QList<int>{s.baudRateIndex, s.dataBitsIndex, s.stopBitsIndex, s.parityIndex, s.flowControlIndex,
                             s.totalTimeout}), (QList<int>{5, 1, 2, 3, 4, 777}));
        QCOMPARE(s.port, QStringLiteral("/dev/ttyX"));
        QVERIFY(dir.writeIni(QByteArray()));
        s.write();
        QCOMPARE(QString::fromLatin1(dir.readIni()).split(QLatin1Char('\n'), Qt::SkipEmptyParts), lines);
    }

    // The settings are read when the bus starts, and only then; a port that
    // cannot be opened is announced, or logged when nobody listens, and leaves
    // the transport ready for a later start. Starts, stops and destruction
    // hand the port between the threads cleanly.
    void openingAndRestarts()
    {
        Rig rig({5}, 40);
        QVERIFY(rig.valid);
        QVERIFY(rig.thread.startBus());
        Rig::writeSetting(SerialSettings::PortKey, QStringLiteral("/nonexistent/tty"));
        Rig::writeSetting(SerialSettings::TotalTimeoutKey, 999);
        QVERIFY(rig.thread.startBus()); // running: nothing happens
        QVERIFY(rig.thread.openPort()); // open: nothing is re-read
        QCOMPARE(rig.thread.portName(), rig.bus.devicePath());
        QCOMPARE(rig.thread.totalTimeoutMs(), 40);
        rig.thread.stopBus();

        const auto failsToOpen = [&rig](const QString &port) {
            rig.openFailures.clear();
            QVERIFY(!rig.thread.startBus());
            QVERIFY(!rig.thread.isRunning());
            QCOMPARE(rig.openFailures, QStringList{port});
            QCOMPARE(rig.thread.portName(), port);
            RSThread unhandled;
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Can't open ") + port));
            QVERIFY(!unhandled.startBus());
        };
        failsToOpen(QStringLiteral("/nonexistent/tty"));
        QCOMPARE(rig.thread.totalTimeoutMs(), 999);
        QCOMPARE(RSThread::openFailureTitle(), QStringLiteral("Error"));
        Rig::writeSetting(SerialSettings::PortKey, rig.bus.devicePath());
        Rig::writeSetting(SerialSettings::BaudRateKey, -3); // refused by the port
        failsToOpen(rig.bus.devicePath());
        Rig::writeSetting(SerialSettings::BaudRateKey, 12);
        RSThread holder;
        QVERIFY(holder.startBus()); // opens the device exclusively
        failsToOpen(rig.bus.devicePath());
        holder.stopBus();
        QCOMPARE(takeWarnings().size(), 3); // the open failures nobody received

        // Each round the worker takes the port, polls and hands it back, and the
        // main thread closes it; events run in between, as in the application.
        rig.thread.addMonitor(new CMonitor(5));
        for (int round = 0; round < 3; ++round) {
            const int before = int(rig.done().size());
            rig.thread.cancelSearch(); // the search each stop arms
            QVERIFY(rig.thread.startBus());
            QTRY_VERIFY_WITH_TIMEOUT(rig.done().size() >= before + 3, 5000);
            rig.thread.stopBus();
            QVERIFY(!rig.thread.isRunning());
            QCoreApplication::processEvents();
        }
        // Destroying a running transport, a command still queued, stops it and
        // closes the port: the device can be opened again at once.
        auto running = std::make_unique<RSThread>();
        running->addMonitor(new CMonitor(5));
        QVERIFY(running->startBus());
        QVERIFY(rig.bus.waitForRequests(rig.bus.requestCount() + 3, 5000));
        running->enqueue(new AlarmCmd(5));
        running.reset();
        QVERIFY(rig.thread.startBus());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(rig.outcomes().filter(QRegularExpression(QStringLiteral("^5 1 85"))), rig.outcomes());
        QCOMPARE(takeWarnings(), QStringList());
    }

    // One record per address; a removed address is remembered, so that a late
    // reply cannot bring its monitor back, until the list is cleared.
    void monitorList()
    {
        RSThread t;
        auto second = std::make_unique<CMonitor>(20);
        QCOMPARE(QList<int>({t.addMonitor(new CMonitor(20)), t.addMonitor(second.get()), t.addMonitor(new CMonitor(10))}),
                 QList<int>({0, -1, 0})); // sorted by address: the order of the polls
        QCOMPARE(t.replaceMonitor(second.get()), 1);
        QCOMPARE(t.findMonitor(20), second.release());
        CMonitor probe(20);
        QCOMPARE(QList<int>({t.removeMonitor(&probe), t.removeMonitor(&probe)}), QList<int>({1, -1}));
        QVERIFY(t.wasRemoved(20) && !t.wasRemoved(21));
        t.clearMonitors();
        QVERIFY(!t.wasRemoved(20));
    }

    // Stopped before ever started: nothing opens, the queue is flushed and the
    // next start searches. Commands queued meanwhile come after the search, and
    // with nobody listed the worker then sleeps until something gives it work.
    void searchQueueAndIdleWorker()
    {
        Rig rig(QList<int>{1} + range(3, 125), 30); // nobody at 2 and 126
        QVERIFY(rig.valid);
        rig.thread.enqueue(new AlarmCmd(3));
        rig.thread.stopBus();
        QVERIFY(!rig.thread.isRunning() && rig.thread.portName().isEmpty());
        rig.bus.setTurnaround(1); // keeps the search running for a while
        QVERIFY(rig.thread.startBus());
        QTRY_VERIFY_WITH_TIMEOUT(rig.searched().size() >= 3, 5000);
        rig.thread.enqueue(new ControlCmd(0x90, 7));
        rig.thread.enqueue(new AlarmCmd(9));
        QVERIFY2(rig.bus.requestCount() < 120, "the search must still be running");
        QTRY_VERIFY_WITH_TIMEOUT(rig.done().size() == 128, 10000);
        rig.waitForQuietLine(100);

        // 1 to 126 announced in order, the end once, between the last
        // announcement and its echo's hand-over; exactly these frames on the
        // line: nothing listed, so nobody is polled.
        QCOMPARE(rig.searched(), range(1, 126));
        QCOMPARE(rig.of(Event::SearchDone).size(), 1);
        const qsizetype end = rig.firstOf(Event::SearchDone);
        QCOMPARE(rig.events.value(end - 1).address, 126);
        QCOMPARE(rig.events.value(end + 1).kind, Event::Done);
        QStringList expected, sent;
        for (int a = 1; a <= 126; ++a) // the reply: sync byte, then power and both reports due
            expected << (a == 2 || a == 126 ? QStringLiteral("%1 3").arg(a)
                                            : QStringLiteral("%1 1 %2").arg(a).arg(0x8007 + (a << 8), 0, 16));
        QCOMPARE(rig.outcomes(), expected << "7 1 8700" << "9 1 8900");
        for (const SimTraceEntry &e : rig.requests())
            sent << QString::fromLatin1(e.bytes.toHex());
        QCOMPARE(sent.size(), 128);
        QCOMPARE(sent.mid(124), QStringList({"fd80", "fe80", "87d00090", "8982"}));

        const double cpuBefore = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        QThread::msleep(1000); // the main thread sleeps too: only the worker could spend
        const double cpuShare = (cpuSeconds() - cpuBefore) / (clock.elapsed() / 1000.0);
        QVERIFY2(cpuShare < 0.05, qPrintable(QStringLiteral("idle CPU %1 of a core").arg(cpuShare)));
        // Whatever gives it work wakes it at once: a command, a search, a monitor, a stop.
        auto wakesWith = [&](const std::function<void()> &give, const QByteArray &frame) {
            rig.waitForQuietLine(50);
            const int count = rig.bus.requestCount();
            clock.restart();
            give();
            const bool woke = rig.bus.waitForRequests(count + 1, 1000);
            const QByteArray got = woke ? rig.requests().at(count).bytes : QByteArray();
            return clock.elapsed() < 50 && got == frame ? QString() : got.toHex() + " after " + QString::number(clock.elapsed()) + " ms";
        };
        QCOMPARE(wakesWith([&] { rig.thread.enqueue(new AlarmCmd(17)); }, QByteArray::fromHex("9182")), QString());

        // A search cancelled from the main thread as soon as 10 is announced:
        // every announced echo still runs, then a command queued at that moment.
        QTRY_COMPARE_WITH_TIMEOUT(rig.done().size(), 129, 1000);
        rig.events.clear();
        QObject context;
        connect(&rig.thread, &RSThread::searchingAddressChanged, &context, [&rig](quint8 address) {
            if (address == 10) {
                rig.thread.cancelSearch();
                rig.thread.enqueue(new AlarmCmd(3));
            }
        });
        const int mark = rig.bus.requestCount();
        QCOMPARE(wakesWith([&] { rig.thread.armSearch(); }, echoFrame(1)), QString());
        QTRY_VERIFY_WITH_TIMEOUT(rig.done().size() >= 11, 5000);
        rig.waitForQuietLine(200);
        QCoreApplication::sendPostedEvents();
        const QList<int> searched = rig.searched();
        QVERIFY(searched.size() >= 10 && searched.size() < 126);
        QCOMPARE(searched, range(1, int(searched.size())));
        QCOMPARE(rig.of(Event::SearchDone).size(), 0);
        QCOMPARE(rig.done().size(), searched.size() + 1);
        QCOMPARE(rig.requests().size() - mark, rig.done().size());
        QCOMPARE(rig.requests().last().bytes, QByteArray::fromHex("8382"));
        QCOMPARE(wakesWith([&] { rig.thread.addMonitor(new CMonitor(17)); }, echoFrame(17)), QString());
        rig.thread.clearMonitors();
        rig.waitForQuietLine(50);
        clock.restart();
        rig.thread.stopBus();
        QVERIFY2(clock.elapsed() < 50, qPrintable(QString::number(clock.elapsed())));
    }

    void replies_data()
    {
        QTest::addColumn<QString>("fault"); // in the simulator's command language
        QTest::addColumn<bool>("query");    // else an echo
        QTest::addColumn<int>("minimumSpreadMs"); // first to last reply byte on the line
        QTest::newRow("noise before echo reply") << "noise 3" << false << 0;
        QTest::newRow("noise longer than the reply") << "noise 40" << true << 0;
        QTest::newRow("echo reply in pieces") << "split 15" << false << 15;
        QTest::newRow("query reply in pieces") << "split 15" << true << 30;
    }

    // Exactly the monitor's reply: what preceded the sync byte is gone, the
    // pieces are joined, nothing beyond the reply length was taken.
    void replies()
    {
        QFETCH(QString, fault);
        QFETCH(bool, query);
        QFETCH(int, minimumSpreadMs);
        Rig rig({5}, 120);
        QVERIFY(rig.valid);
        QVERIFY(rig.bus.setSerialNumber(5, QStringLiteral("SN-0005")));
        QVERIFY(rig.bus.command(QStringLiteral("fault 5 ") + fault));
        QVERIFY(rig.thread.startBus());
        rig.thread.enqueue(query ? new QueryCmd(0x02, 10, 5) : new RSCmd(5));
        QTRY_VERIFY_WITH_TIMEOUT(rig.done().size() == 1, 5000);
        QVERIFY(rig.bus.waitForIdle(1000));
        const SimTraceEntry onLine = rig.bus.trace().last();
        QCOMPARE(onLine.kind, SimTraceEntry::Reply);
        QCOMPARE(rig.outcomes(), QStringList(query ? "5 1 8502534e2d30303035000000" : "5 1 8507"));
        QVERIFY(onLine.bytes.endsWith(rig.done().first().reply));
        // The simulator stamps a piece when its write returns and schedules the
        // next from when it was due: allow it a millisecond of its own latency.
        QVERIFY(msBetween(onLine.start, onLine.end) >= minimumSpreadMs - 1);
    }

    // The late reply lands during the pause after the failure, before the
    // next exchange; it carries 0x86, the next reply's sync byte.
    void lateReplyDoesNotLeak()
    {
        Rig rig({5, 6}, 40);
        QVERIFY(rig.valid);
        QVERIFY(rig.bus.setSerialNumber(5, QStringLiteral("\u0086A")));
        QVERIFY(rig.bus.setFault(5, SimFault(SimFault::Late, 120)));
        QVERIFY(rig.thread.startBus());
        rig.thread.enqueue(new QueryCmd(0x02, 4, 5));
        for (int i = 0; i < 3; ++i)
            rig.thread.enqueue(new RSCmd(6));
        QTRY_VERIFY_WITH_TIMEOUT(rig.done().size() == 4, 5000);
        QCOMPARE(rig.outcomes(), QStringList({"5 3", "6 1 8607", "6 1 8607", "6 1 8607"}));
        QVERIFY(rig.bus.waitForIdle(1000));
        QCOMPARE(rig.bus.replyCount(), 4); // it did come, just too late to count
    }

    // A time-out of 0 still lets each exchange read once; two failures cost
    // one per-read wait and the pause each, nothing more.
    void zeroTotalTimeout()
    {
        Rig rig({5, 6}, 0);
        QVERIFY(rig.valid);
        QVERIFY(rig.bus.setFault(6, SimFault(SimFault::Split, 20)));
        QVERIFY(rig.thread.startBus());
        QElapsedTimer clock;
        clock.start();
        for (int address : {5, 6, 9}) // in one piece, in two, nobody there
            rig.thread.enqueue(new RSCmd(quint8(address)));
        QTRY_VERIFY_WITH_TIMEOUT(rig.done().size() == 3, 5000);
        QCOMPARE(rig.outcomes(), QStringList({"5 1 8507", "6 3 86", "9 3"}));
        const qint64 limit = 2 * (RSThread::FailurePauseMs + 4 * RSThread::ReadWaitMs) + 100;
        QVERIFY2(clock.elapsed() < limit, qPrintable(QString::number(clock.elapsed())));
    }

    // The frame trace a field engineer switches on at run time: silent by
    // default, then one line in hex per request, reply or failure, in the
    // order on the wire. A UMD frame expects no reply but gets its pause.
    void frameTraceAndFramesWithoutReply()
    {
        Rig rig({5}, 50);
        QVERIFY(rig.valid);
        QVERIFY(rig.thread.startBus());
        rig.thread.enqueue(new RSCmd(5));
        rig.thread.enqueue(new RSCmd(9)); // nobody there
        QTRY_COMPARE_WITH_TIMEOUT(rig.done().size(), 2, 5000);
        QCOMPARE(takeTrace(), QStringList());

        QLoggingCategory::setFilterRules(QStringLiteral("kelvaro.bus.debug=true"));
        const QList<RSCmd *> commands = {new RSCmd(0), new ControlCmd(0xFF, 0), // address 0: never sent
                                         new UMDCmd("CAM 1", 3, 5), new RSCmd(5), new RSCmd(9)};
        for (RSCmd *cmd : commands)
            rig.thread.enqueue(cmd);
        QTRY_COMPARE_WITH_TIMEOUT(rig.done().size(), 5, 5000);
        QTest::qWait(50); // proves that nothing more is handed over
        QCOMPARE(rig.outcomes().mid(2), QStringList({"5 1", "5 1 8507", "9 3"}));
        QCOMPARE(rig.done().at(2).code, int(RSCmd::CodeUmd));
        QCOMPARE(rig.bus.monitor(5)->umdText, QByteArray("CAM 1   "));
        const QString umd = QString::fromLatin1(UMDCmd("CAM 1", 3, 5).request().toHex(' '));
        QList<SimBus::Clock::time_point> traced;
        QCOMPARE(takeTrace(&traced), (QStringList{"> " + umd, "> 85 80", "< 85 07", "> 89 80", "! 89 80 READ_ERROR"}));
        // The monitor gets 20 ms after the UMD frame went out (its trace line)
        // before the next request reaches it.
        const QList<SimTraceEntry> requests = rig.requests();
        QCOMPARE(requests.size(), 5);
        const double gapMs = msBetween(traced.at(0), requests[3].start);
        QVERIFY2(gapMs >= RSThread::UmdPauseMs, qPrintable(QString::number(gapMs)));
    }

    // A device that goes while the worker is idle: the next write is refused by
    // the driver, which ends its exchange at once (not after the time-out), and
    // the loss is announced before that command is reported.
    void lostPortReconnects()
    {
        Rig rig({5, 6}, 500);
        QVERIFY(rig.valid);
        const QString link = linkBus(rig.bus, QDir::currentPath());
        Rig::writeSetting(SerialSettings::PortKey, link);
        QVERIFY(rig.thread.startBus());
        QVERIFY(rig.bus.vanish());
        qint64 at = rig.clock.elapsed();
        rig.thread.enqueue(new RSCmd(5));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.done().isEmpty(), 5000);
        QCOMPARE(rig.outcomes(), QStringList({"5 2"}));
        QVERIFY2(rig.done().first().atMs - at < 300, qPrintable(QString::number(rig.done().first().atMs - at)));
        QCOMPARE(rig.of(Event::LinkLost).size(), 1);
        QCOMPARE(rig.of(Event::LinkLost).first().reply, link.toUtf8());
        QVERIFY(rig.firstOf(Event::LinkLost) < rig.firstOf(Event::Done));
        QVERIFY(rig.thread.isPortLost());

        // Lost: listed monitors are not polled, a command fails at once, and the
        // worker sleeps between its tries to reopen. The waits prove the absence
        // of polls and span a try.
        rig.thread.addMonitor(new CMonitor(5));
        rig.thread.addMonitor(new CMonitor(6));
        const double cpuBefore = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(1500);
        rig.thread.enqueue(new ControlCmd(ControlKeys::Menu, 5));
        QTRY_COMPARE_WITH_TIMEOUT(rig.done().size(), 2, 200);
        QTest::qWait(1000);
        const double cpuShare = (cpuSeconds() - cpuBefore) / (clock.elapsed() / 1000.0);
        QVERIFY2(cpuShare < 0.02, qPrintable(QStringLiteral("CPU %1 of a core while lost").arg(cpuShare)));
        QCOMPARE(rig.outcomes(), QStringList({"5 2", "5 2"}));
        QCOMPARE(rig.of(Event::LinkRestored).size(), 0);

        // Back behind the same link on a new node: announced, then polled again.
        rig.events.clear();
        at = rig.clock.elapsed();
        QString error;
        QVERIFY2(rig.bus.reappear(&error, true), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(rig.done().size() >= 10, 3000);
        QCOMPARE(rig.events.first().kind, Event::LinkRestored);
        QVERIFY2(rig.events.first().atMs - at < 1500, qPrintable(QString::number(rig.events.first().atMs - at)));
        QCOMPARE(rig.outcomes().filter(QStringLiteral(" 1 8")), rig.outcomes());
        QVERIFY(!rig.thread.isPortLost() && rig.searched().isEmpty());

        // Lost while polling, and stopped while lost: it returns at once.
        at = rig.clock.elapsed();
        QVERIFY(rig.bus.vanish());
        QTRY_COMPARE_WITH_TIMEOUT(rig.of(Event::LinkLost).size(), 1, 2000);
        QVERIFY2(rig.of(Event::LinkLost).first().atMs - at < 300, qPrintable(QString::number(rig.of(Event::LinkLost).first().atMs - at)));
        QVERIFY(rig.thread.isPortLost());
        clock.restart();
        rig.thread.stopBus();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!rig.thread.isPortLost());
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
