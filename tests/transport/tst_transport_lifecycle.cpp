// Starting and stopping the transport, opening the port from the settings
// file, the monitor list operations, and how the worker behaves with nothing
// to do and with a device that has gone away.
#include "alarmcmd.h"
#include "cmonitor.h"
#include "commandrecorder.h"
#include "rscmd.h"
#include "rsthread.h"
#include "serialsettings.h"
#include "settingsfile.h"
#include "simbusfixture.h"
#include "warningwatch.h"

#include <QtTest>

#include <memory>

namespace {

using Event = CommandRecorder::Event;

struct Rig {
    SimBusFixture fx;
    RSThread thread;
    CommandRecorder rec{&thread};
    QStringList openFailures;

    Rig()
    {
        thread.setOpenFailureHandler([this](const QString &name) { openFailures << name; });
    }
    ~Rig()
    {
        thread.stopBus();
        QCoreApplication::sendPostedEvents();
    }
};

} // namespace

class TestRSThreadLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noSettingsFile();
    void noSettingsFileWithoutHandlerIsLogged();
    void portsThatCannotBeOpened_data();
    void portsThatCannotBeOpened();
    void startingAgainWhileOpenDoesNotRereadSettings();
    void stopWhileStoppedFlushesQueueAndArmsSearch();
    void restartsHandThePortBackAndForth();
    void destroyingARunningBusStopsIt();
    void monitorList();
    void idleWorkerSleepsAndWakesAtOnce_data();
    void idleWorkerSleepsAndWakesAtOnce();
    void vanishedDeviceKeepsTheWorkerQuiet();

private:
    std::unique_ptr<WarningWatch> m_watch;
};

void TestRSThreadLifecycle::init()
{
    m_watch = std::make_unique<WarningWatch>();
}

void TestRSThreadLifecycle::cleanup()
{
    QTest::qWait(20);
    const QStringList bad = m_watch->threadWarnings();
    m_watch.reset();
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
}

void TestRSThreadLifecycle::noSettingsFile()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    QVERIFY(!QFile::exists(QLatin1String(SettingsFileName)));

    const SerialSettings s = SerialSettings::read();
    QCOMPARE(s.port, QStringLiteral("COM1"));
    QCOMPARE(s.baudRate(), 9600);
    QCOMPARE(s.dataBits(), QSerialPort::Data8);
    QCOMPARE(s.stopBits(), QSerialPort::OneStop);
    QCOMPARE(s.parity(), QSerialPort::NoParity);
    QCOMPARE(s.flowControl(), QSerialPort::NoFlowControl);
    QCOMPARE(s.totalTimeout, 500);

    // "COM1" names no device on this system: the start fails and says so.
    QVERIFY(!rig.thread.startBus());
    QVERIFY(!rig.thread.isRunning());
    QCOMPARE(rig.openFailures, QStringList{QStringLiteral("COM1")});
    QCOMPARE(rig.thread.portName(), QStringLiteral("COM1"));
    QCOMPARE(rig.thread.totalTimeoutMs(), 500);
    QVERIFY(!QFile::exists(QLatin1String(SettingsFileName))); // reading creates nothing
    QCOMPARE(RSThread::openFailureText(QStringLiteral("COM1")), QStringLiteral("Can't open COM1"));
    QCOMPARE(RSThread::openFailureTitle(), QStringLiteral("Error"));
}

void TestRSThreadLifecycle::noSettingsFileWithoutHandlerIsLogged()
{
    SimBusFixture fx;
    QVERIFY(fx.isValid());
    RSThread thread;
    QTest::ignoreMessage(QtWarningMsg, "Can't open COM1");
    QVERIFY(!thread.startBus());
    QVERIFY(!thread.isRunning());
}

void TestRSThreadLifecycle::portsThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing device") << "missing";
    QTest::newRow("regular file") << "file";
    QTest::newRow("directory") << "directory";
    QTest::newRow("in use by another bus") << "busy";
    QTest::newRow("empty name") << "empty";
}

void TestRSThreadLifecycle::portsThatCannotBeOpened()
{
    QFETCH(QString, kind);
    Rig rig;
    QVERIFY(rig.fx.isValid());
    rig.fx.writeSettings(40);

    RSThread holder; // only for "busy": the device opened exclusively first
    QString port;
    if (kind == QLatin1String("missing")) {
        port = rig.fx.dirPath() + QStringLiteral("/no-such-tty");
    } else if (kind == QLatin1String("file")) {
        port = rig.fx.dirPath() + QStringLiteral("/plain-file");
        QFile f(port);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a terminal");
    } else if (kind == QLatin1String("directory")) {
        port = rig.fx.dirPath();
    } else if (kind == QLatin1String("busy")) {
        port = rig.fx.devicePath();
        QVERIFY(holder.startBus());
    }
    SimBusFixture::writeSetting(SerialSettings::PortKey, port);

    QVERIFY(!rig.thread.startBus());
    QVERIFY(!rig.thread.isRunning());
    QCOMPARE(rig.openFailures, QStringList{port});
    QCOMPARE(RSThread::openFailureText(port), QStringLiteral("Can't open ") + port);

    // A failed start leaves the object ready for a later one.
    rig.thread.stopBus();
    QVERIFY(!rig.thread.isRunning());
    holder.stopBus();
    if (kind == QLatin1String("busy")) {
        QVERIFY(rig.thread.startBus());
        QVERIFY(rig.thread.isRunning());
    }
}

void TestRSThreadLifecycle::startingAgainWhileOpenDoesNotRereadSettings()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    QVERIFY(rig.fx.bus().addMonitor(5));
    rig.fx.writeSettings(40);
    const QString device = rig.fx.devicePath();

    QVERIFY(rig.thread.startBus());
    SimBusFixture::writeSetting(SerialSettings::PortKey, QStringLiteral("/nonexistent/tty"));
    SimBusFixture::writeSetting(SerialSettings::TotalTimeoutKey, 999);

    QVERIFY(rig.thread.startBus());   // running: nothing happens
    QVERIFY(rig.thread.openPort());   // open: nothing is re-read
    QCOMPARE(rig.thread.portName(), device);
    QCOMPARE(rig.thread.totalTimeoutMs(), 40);
    QVERIFY(rig.openFailures.isEmpty());
    rig.thread.enqueue(new RSCmd(5));
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() == 1, 5000);
    QCOMPARE(rig.rec.commands().first().status, int(RSCmd::StatusOk));

    // The next start after a stop reads the file again.
    rig.thread.stopBus();
    QVERIFY(!rig.thread.startBus());
    QCOMPARE(rig.openFailures, QStringList{QStringLiteral("/nonexistent/tty")});
    QCOMPARE(rig.thread.totalTimeoutMs(), 999);
}

void TestRSThreadLifecycle::stopWhileStoppedFlushesQueueAndArmsSearch()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    for (int a = 1; a <= 126; ++a)
        QVERIFY(rig.fx.bus().addMonitor(quint8(a)));
    rig.fx.writeSettings(40);

    rig.thread.enqueue(new AlarmCmd(3));
    rig.thread.enqueue(new RSCmd(4));
    rig.thread.stopBus();
    // Nothing else happened: no port was opened, no thread started.
    QVERIFY(!rig.thread.isRunning());
    QVERIFY(rig.thread.portName().isEmpty());
    QVERIFY(rig.openFailures.isEmpty());
    QTest::qWait(50);
    QCOMPARE(rig.fx.bus().requestCount(), 0);
    QCOMPARE(rig.rec.events().size(), 0);

    // The next start begins with a search, and the flushed commands never
    // go out nor come back.
    QVERIFY(rig.thread.startBus());
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.searchDoneCount() == 1 && rig.rec.commandCount() == 126, 10000);
    QTest::qWait(100);
    QCOMPARE(rig.rec.searchedAddresses().first(), 1);
    QCOMPARE(rig.rec.commandCount(), 126);
    for (const Event &e : rig.rec.commands())
        QCOMPARE(e.code, int(RSCmd::CodeEcho));
    for (const SimTraceEntry &e : rig.fx.requests())
        QCOMPARE(quint8(e.bytes.at(1)), quint8(0x80));
}

void TestRSThreadLifecycle::restartsHandThePortBackAndForth()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    QVERIFY(rig.fx.bus().addMonitor(8));
    rig.fx.writeSettings(40);
    QVERIFY(rig.thread.addMonitor(new CMonitor(8)) == 0);

    // Each round the worker takes the port, polls, hands it back, and the
    // main thread closes it; events run in between, as in the application.
    for (int round = 0; round < 5; ++round) {
        const int before = rig.rec.commandCount();
        QVERIFY(rig.thread.startBus());
        rig.thread.cancelSearch();
        QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() >= before + 3, 5000);
        rig.thread.stopBus();
        QVERIFY(!rig.thread.isRunning());
        QTest::qWait(20);
    }
    QCoreApplication::sendPostedEvents();
    for (const Event &e : rig.rec.commands()) {
        QCOMPARE(e.address, 8);
        QCOMPARE(e.status, int(RSCmd::StatusOk));
    }
    QVERIFY(m_watch->warnings().isEmpty());
}

void TestRSThreadLifecycle::destroyingARunningBusStopsIt()
{
    SimBusFixture fx;
    QVERIFY(fx.isValid());
    QVERIFY(fx.bus().addMonitor(2));
    fx.writeSettings(40);
    int received = 0;
    {
        RSThread thread;
        QObject receiver;
        connect(&thread, &RSThread::cmdDone, &receiver, [&received](RSCmd *cmd) {
            ++received;
            delete cmd;
        });
        QVERIFY(thread.addMonitor(new CMonitor(2)) == 0);
        thread.enqueue(new AlarmCmd(2));
        QVERIFY(thread.startBus());
        QTRY_VERIFY_WITH_TIMEOUT(received >= 3, 5000);
        thread.enqueue(new AlarmCmd(2)); // may still be queued when the end comes
    }
    // The port was closed: the device can be opened again at once.
    RSThread again;
    QVERIFY(again.startBus());
}

void TestRSThreadLifecycle::monitorList()
{
    Rig rig;
    RSThread &t = rig.thread;
    QCOMPARE(t.addMonitor(nullptr), -1);
    QCOMPARE(t.monitorCount(), 0);
    QCOMPARE(t.monitorAt(0), nullptr);

    auto *m20 = new CMonitor(20);
    auto *m10 = new CMonitor(10);
    auto *m30 = new CMonitor(30);
    QCOMPARE(t.addMonitor(m20), 0);
    QCOMPARE(t.addMonitor(m30), 1);
    QCOMPARE(t.addMonitor(m10), 0);
    QCOMPARE(t.monitorCount(), 3);
    QCOMPARE(t.monitorAt(0), m10);
    QCOMPARE(t.monitorAt(2), m30);
    QCOMPARE(t.monitorAt(3), nullptr);
    QCOMPARE(t.monitorAt(-1), nullptr);

    // A second record for a listed address is refused; the first one stays.
    auto duplicate = std::make_unique<CMonitor>(20);
    QCOMPARE(t.addMonitor(duplicate.get()), -1);
    QCOMPARE(t.findMonitor(20), m20);
    QCOMPARE(t.monitorCount(), 3);
    QCOMPARE(t.findMonitor(21), nullptr);

    // Replacing stores the new record in place of the old one.
    auto *newer = new CMonitor(20);
    newer->serialNumber = QStringLiteral("B");
    QCOMPARE(t.replaceMonitor(newer), 1);
    QCOMPARE(t.findMonitor(20), newer);
    QCOMPARE(t.replaceMonitor(newer), 1); // the same object: nothing to do
    auto stranger = std::make_unique<CMonitor>(99);
    QCOMPARE(t.replaceMonitor(stranger.get()), -1);
    QCOMPARE(t.replaceMonitor(nullptr), -1);

    // Removal by address, remembered until the list is cleared.
    QVERIFY(!t.wasRemoved(30));
    CMonitor probe(30);
    QCOMPARE(t.removeMonitor(&probe), 2);
    QVERIFY(t.wasRemoved(30));
    QCOMPARE(t.removeMonitor(&probe), -1);
    QCOMPARE(t.removeMonitor(nullptr), -1);
    QCOMPARE(t.removeMonitor(t.findMonitor(10)), 0); // the stored record itself
    QVERIFY(t.wasRemoved(10));
    QCOMPARE(t.monitorCount(), 1);

    // Alarms count only for powered monitors with an enabled alarm showing
    // (audio mute is enabled unless the options say otherwise).
    auto *muted = new CMonitor(40);
    muted->state = CMonitor::StatePower;
    muted->alarm = 0x08;
    auto *mutedOff = new CMonitor(41);
    mutedOff->alarm = 0x08;
    QVERIFY(t.addMonitor(muted) >= 0);
    QVERIFY(t.addMonitor(mutedOff) >= 0);
    QCOMPARE(t.alarmCount(), 1);

    // The lock is recursive: list operations work while it is held.
    t.lockMonitors();
    QCOMPARE(t.monitorCount(), 3);
    QCOMPARE(t.addMonitor(new CMonitor(50)), 3);
    t.unlockMonitors();

    t.clearMonitors();
    QCOMPARE(t.monitorCount(), 0);
    QVERIFY(!t.wasRemoved(30));
    QVERIFY(!t.wasRemoved(10));
}

void TestRSThreadLifecycle::idleWorkerSleepsAndWakesAtOnce_data()
{
    QTest::addColumn<QString>("wakeBy");
    QTest::newRow("queued command") << "enqueue";
    QTest::newRow("new monitor") << "addMonitor";
    QTest::newRow("search") << "armSearch";
    QTest::newRow("stop") << "stopBus";
}

void TestRSThreadLifecycle::idleWorkerSleepsAndWakesAtOnce()
{
    QFETCH(QString, wakeBy);
    Rig rig;
    QVERIFY(rig.fx.isValid());
    for (int a = 1; a <= 126; ++a)
        QVERIFY(rig.fx.bus().addMonitor(quint8(a)));
    rig.fx.writeSettings(40);

    // A search finds monitors everywhere, but nobody lists them (that is the
    // supervisor's job): afterwards there is nothing at all to do.
    rig.thread.stopBus();
    QVERIFY(rig.thread.startBus());
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() == 126, 10000);
    QTest::qWait(50);
    const int requests = rig.fx.bus().requestCount();

    const double cpuBefore = SimBusFixture::processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QThread::msleep(1000); // the main thread sleeps too: only the worker could spend
    const double cpuShare = (SimBusFixture::processCpuSeconds() - cpuBefore) / (wall.elapsed() / 1000.0);
    QVERIFY2(cpuShare < 0.05, qPrintable(QStringLiteral("idle CPU %1 of a core").arg(cpuShare)));
    QCOMPARE(rig.fx.bus().requestCount(), requests);

    QElapsedTimer reaction;
    reaction.start();
    if (wakeBy == QLatin1String("enqueue")) {
        rig.thread.enqueue(new AlarmCmd(17));
        QVERIFY(rig.fx.bus().waitForRequests(requests + 1, 1000));
    } else if (wakeBy == QLatin1String("addMonitor")) {
        QCOMPARE(rig.thread.addMonitor(new CMonitor(17)), 0);
        QVERIFY(rig.fx.bus().waitForRequests(requests + 1, 1000));
    } else if (wakeBy == QLatin1String("armSearch")) {
        rig.thread.armSearch();
        QVERIFY(rig.fx.bus().waitForRequests(requests + 1, 1000));
    } else {
        rig.thread.stopBus();
        QVERIFY(!rig.thread.isRunning());
    }
    const qint64 ms = reaction.elapsed();
    QVERIFY2(ms < 50, qPrintable(QStringLiteral("woke after %1 ms").arg(ms)));
    if (wakeBy != QLatin1String("stopBus")) {
        const QList<SimTraceEntry> sent = rig.fx.requests();
        const QByteArray expected = wakeBy == QLatin1String("enqueue") ? QByteArray::fromHex("9182")
            : wakeBy == QLatin1String("addMonitor")                  ? QByteArray::fromHex("9180")
                                                                    : QByteArray::fromHex("8180");
        QCOMPARE(sent.at(requests).bytes, expected);
    }
}

void TestRSThreadLifecycle::vanishedDeviceKeepsTheWorkerQuiet()
{
    Rig rig;
    QVERIFY(rig.fx.isValid());
    QVERIFY(rig.fx.bus().addMonitor(5));
    QVERIFY(rig.fx.bus().addMonitor(6));
    rig.fx.writeSettings(60);
    QVERIFY(rig.thread.addMonitor(new CMonitor(5)) == 0);
    QVERIFY(rig.thread.addMonitor(new CMonitor(6)) == 1);
    QVERIFY(rig.thread.startBus());
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec.commandCount() >= 10, 5000);

    QVERIFY(rig.fx.bus().vanish());
    QTest::qWait(300); // the exchange under way when the device went
    QCoreApplication::sendPostedEvents();
    rig.rec.clear();
    m_watch->clear();

    const double cpuBefore = SimBusFixture::processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(2000);
    const double seconds = wall.elapsed() / 1000.0;
    const double cpuShare = (SimBusFixture::processCpuSeconds() - cpuBefore) / seconds;

    // The worker goes on trying, every exchange fails, no faster than the
    // time-outs and pauses allow, and nothing floods the log.
    const QList<Event> failed = rig.rec.commands();
    QVERIFY2(failed.size() >= 5, qPrintable(QString::number(failed.size())));
    const double slowestRate = seconds * 1000.0 / RSThread::FailurePauseMs;
    QVERIFY2(failed.size() <= slowestRate + 1, qPrintable(QString::number(failed.size())));
    for (const Event &e : failed) {
        QVERIFY(e.status == RSCmd::StatusSendError || e.status == RSCmd::StatusReadError);
        QVERIFY(e.reply.size() < 2);
    }
    QVERIFY2(cpuShare < 0.05, qPrintable(QStringLiteral("CPU %1 of a core while the device is gone").arg(cpuShare)));
    QVERIFY2(m_watch->warnings().isEmpty(), qPrintable(m_watch->warnings().join(QLatin1Char('\n'))));

    // Stopping still works and releases the dead device.
    QElapsedTimer stopping;
    stopping.start();
    rig.thread.stopBus();
    QVERIFY(!rig.thread.isRunning());
    QVERIFY(stopping.elapsed() < 2 * 60 + RSThread::FailurePauseMs + 200);
}

QTEST_GUILESS_MAIN(TestRSThreadLifecycle)
#include "tst_transport_lifecycle.moc"
