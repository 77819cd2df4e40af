// `kelvaro-controller --headless` as a service manager runs it: the real
// executable, with no display, no Wayland and no sound server to be had, in
// a working directory whose mc422.ini points at the simulated bus. It
// searches, polls on and on, logs alarms, takes tally input, waits for a
// port that comes late, and ends cleanly on SIGTERM and SIGINT. Then the
// options every start-up takes.
#include "tally/umdstate.h"
#include "tests/support/buslink.h"
#include "tests/support/helperprocess.h"
#include "tests/support/sanitizerbuild.h"
#include "tests/support/tslpacket.h"
#include "tests/support/umdframes.h"
#include "tests/support/workdir.h"
#include "tools/sim/simbus.h"

#include <QtTest>
#include <QUdpSocket>

#include <csignal>

namespace {

// Sanitized, the executable starts and stops several times slower.
constexpr int Slow = addressSanitized() || threadSanitized() ? 4 : 1;

QString executable()
{
    return qEnvironmentVariable("KC_BIN_DIR") + QStringLiteral("/kelvaro-controller");
}

// The environment of a service: nothing to show a window on or play a
// sound through.
QProcessEnvironment serviceEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "PULSE_SERVER"})
        env.remove(QLatin1String(name));
    return env;
}

// A UDP port free on the loopback address just now.
quint16 freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0))
        qFatal("no free UDP port");
    return probe.localPort();
}

// Status polls to this address in the bus's trace.
int pollsTo(const SimBus &bus, quint8 address)
{
    int polls = 0;
    for (const SimTraceEntry &entry : bus.trace())
        polls += entry.kind == SimTraceEntry::Request && entry.address == address && entry.bytes.size() == 2
            && quint8(entry.bytes.at(1)) == 0x80;
    return polls;
}

struct Service
{
    SimBus bus;
    WorkDir dir;
    HelperProcess process;
    quint16 tallyPort = 0;

    Service()
    {
        QString error;
        if (!bus.start(&error))
            qFatal("simulated bus: %s", qPrintable(error));
    }

    // mc422.ini with the bus (or the given port), a short time-out and the
    // TSL 3.1 input on a free port.
    bool writeSettings(const QString &port = QString())
    {
        tallyPort = freeUdpPort();
        return dir.writeIni(QStringLiteral("[serial]\nport=%1\ntotaltimeout=10\n\n[tally]\ntsl31=true\ntsl31port=%2\n")
                                .arg(port.isEmpty() ? bus.devicePath() : port)
                                .arg(tallyPort)
                                .toUtf8());
    }

    bool start()
    {
        process.setProcessEnvironment(serviceEnvironment());
        process.setWorkingDirectory(dir.path());
        process.start(executable(), {QStringLiteral("--headless")});
        return process.waitForStarted(10000);
    }

    QString logText() const
    {
        const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("mc_*.log")}, QDir::Files, QDir::Name);
        if (logs.size() != 1)
            return QString();
        QFile file(dir.filePath(logs.first()));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    bool logShows(const QString &text, int timeoutMs)
    {
        return QTest::qWaitFor([&] { return logText().contains(text); }, timeoutMs * Slow);
    }

    // Sends the signal, and checks an orderly end: exit code 0, the log
    // ending with its closing line.
    void stopWith(int signalNumber)
    {
        QVERIFY(process.state() == QProcess::Running);
        QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
        QVERIFY(process.waitForFinished(20000 * Slow));
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(process.exitStatus() == QProcess::NormalExit, err.constData());
        QVERIFY2(process.exitCode() == 0, err.constData());
        const QStringList lines = logText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        // The log's lines end in CR LF.
        QVERIFY2(lines.last().trimmed().endsWith(QLatin1String("Log file closed.")), qPrintable(lines.last()));
        QCOMPARE(logText().count(QLatin1String("Log file closed.")), 1);
        // Nothing reached for a display or a sound server.
        QVERIFY2(!err.contains("display") && !err.contains("QPixmap") && !err.contains("audio"), err.constData());
    }
};

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome run(const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(serviceEnvironment());
    process.start(executable(), arguments);
    Outcome o;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return o;
    o.exitCode = process.exitCode();
    o.out = QString::fromUtf8(process.readAllStandardOutput());
    o.err = QString::fromUtf8(process.readAllStandardError());
    return o;
}

} // namespace

class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    // The whole life of the service: found, polled a hundred times and more,
    // an alarm logged, a tally packet turned into a UMD frame, SIGTERM.
    void superviseThenSigterm()
    {
        Service s;
        for (quint8 address : {1, 2, 3})
            QVERIFY(s.bus.addMonitor(address));
        QVERIFY(s.writeSettings());
        QVERIFY(s.start());

        // 126 addresses at 10 ms time-out and 100 ms pause: about 14 s.
        QVERIFY2(s.logShows(QStringLiteral("[SEARCH]: END - 3 FOUND"), 60000), qPrintable(s.logText()));
        for (int address = 1; address <= 3; ++address) {
            const QRegularExpression found(
                QStringLiteral(R"(\[MONITOR\]: FOUND - SN\([^)]*\) - ADDRESS\(%1\) - STATE\(NORMAL\))").arg(address));
            QVERIFY2(s.logText().contains(found), qPrintable(s.logText()));
        }
        QCOMPARE(s.logText().count(QLatin1String("[SEARCH]: START...")), 1);

        s.bus.clearTrace();
        QVERIFY2(QTest::qWaitFor([&] { return pollsTo(s.bus, 1) >= 100 && pollsTo(s.bus, 3) >= 100; }, 30000 * Slow),
                 qPrintable(QString::number(pollsTo(s.bus, 1))));

        QVERIFY(s.bus.setAlarm(2, 0x08));
        QVERIFY2(s.logShows(QStringLiteral("[ALARM]: STATE(ALARM<[AUDIO MUTE]>)"), 10000), qPrintable(s.logText()));
        QVERIFY(s.logText().contains(QRegularExpression(
            QStringLiteral(R"(\[ALARM\]: STATE\(ALARM<\[AUDIO MUTE\]>\) - SN\([^)]*\) - ADDRESS\(2\))"))));

        // TSL 3.1, address 2, tally 1 (red): the frame on the bus.
        QUdpSocket sender;
        const QString expected = QStringLiteral("%1 %2").arg(UmdState::Red).arg(QStringLiteral("CAM 7   "));
        QVERIFY2(QTest::qWaitFor([&] {
                     sender.writeDatagram(TslPacket::tsl31(2, 1, QStringLiteral("CAM 7")), QHostAddress::LocalHost,
                                          s.tallyPort);
                     return umdFrames(s.bus, 2).contains(expected);
                 }, 10000 * Slow),
                 qPrintable(umdFrames(s.bus, 2).join(QLatin1Char('|'))));
        // Polling goes on beside the tally input.
        s.bus.clearTrace();
        QVERIFY(QTest::qWaitFor([&] { return pollsTo(s.bus, 2) >= 5; }, 10000 * Slow));

        s.stopWith(SIGTERM);
    }

    // Stopped in the middle of its search: as orderly.
    void sigintDuringSearch()
    {
        Service s;
        QVERIFY(s.bus.addMonitor(5));
        QVERIFY(s.writeSettings());
        QVERIFY(s.start());
        QVERIFY2(s.logShows(QStringLiteral("[SEARCH]: START..."), 20000), qPrintable(s.logText()));
        QVERIFY(s.bus.waitForRequests(10, 10000 * Slow));
        s.stopWith(SIGINT);
    }

    // After a power cut the adapter may come up after the computer: the
    // service keeps trying the port and searches once it opens.
    void portLate()
    {
        Service s;
        QVERIFY(s.bus.addMonitor(4));
        const QString link = s.dir.filePath(QStringLiteral("bus"));
        QVERIFY(s.writeSettings(link));
        QVERIFY(s.start());
        const QString failed = QStringLiteral("[ERROR]: Open %1 failed.").arg(link);
        QVERIFY2(s.logShows(failed, 20000), qPrintable(s.logText()));
        // The second try, about five seconds on: it waits, it did not give up.
        QVERIFY2(QTest::qWaitFor([&] { return s.logText().count(failed) >= 2; }, 15000 * Slow), qPrintable(s.logText()));
        QVERIFY(s.process.state() == QProcess::Running);
        QVERIFY(!s.logText().contains(QLatin1String("[SEARCH]: START...")));

        QCOMPARE(linkBus(s.bus, s.dir.path()), link);
        QVERIFY2(s.logShows(QStringLiteral("[SEARCH]: START..."), 15000), qPrintable(s.logText()));
        QVERIFY2(s.logShows(QStringLiteral("[SEARCH]: END - 1 FOUND"), 60000), qPrintable(s.logText()));
        QVERIFY(s.logText().contains(QStringLiteral("ADDRESS(4) - STATE(NORMAL)")));
        // One search, and no more tries once it ran.
        const int tries = s.logText().count(failed);
        QTest::qWait(6000);
        QCOMPARE(s.logText().count(failed), tries);
        QCOMPARE(s.logText().count(QLatin1String("[SEARCH]: START...")), 1);
        const QByteArray err = s.process.readAllStandardError();
        QVERIFY2(err.contains("Trying again every 5 seconds"), err.constData());
        s.stopWith(SIGTERM);
    }

    void help()
    {
        const Outcome o = run({QStringLiteral("--help")});
        QCOMPARE(o.exitCode, 0);
        QVERIFY2(o.out.startsWith(QLatin1String("usage: kelvaro-controller")), qPrintable(o.out));
        for (const char *option : {"--headless", "--compare-inventory OLD NEW", "--help", "--version", "-platform"})
            QVERIFY2(o.out.contains(QLatin1String(option)), option);
        QCOMPARE(o.err, QString());
    }

    void version()
    {
        const Outcome o = run({QStringLiteral("--version")});
        QCOMPARE(o.exitCode, 0);
        QCOMPARE(o.out, QStringLiteral("kelvaro-controller " KC_VERSION "\n"));
        QCOMPARE(o.err, QString());
    }

    void unknownOption_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("usage"); // empty: the whole usage
        QTest::newRow("unknown") << QStringList{"--frobnicate"} << QString();
        QTest::newRow("unknown with a value") << QStringList{"--log=x"} << QString();
        QTest::newRow("unknown after a known") << QStringList{"--headless", "--frobnicate"} << QString();
        QTest::newRow("unknown before a known") << QStringList{"--frobnicate", "--version"} << QString();
        // A known one with the wrong operands: its own line.
        QTest::newRow("operand to headless") << QStringList{"--headless", "extra"}
                                             << "usage: kelvaro-controller --headless\n";
        QTest::newRow("operand to version") << QStringList{"--version", "2"} << "usage: kelvaro-controller --version\n";
    }
    void unknownOption()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, usage);
        const Outcome o = run(arguments);
        QCOMPARE(o.exitCode, 2);
        QCOMPARE(o.out, QString());
        if (!usage.isEmpty()) {
            QCOMPARE(o.err, usage);
            return;
        }
        QVERIFY2(o.err.startsWith(QLatin1String("usage: kelvaro-controller")), qPrintable(o.err));
        for (const char *option : {"--headless", "--compare-inventory OLD NEW", "--help", "--version"})
            QVERIFY2(o.err.contains(QLatin1String(option)), option);
    }

    // Qt's own options still reach the window, with one dash or two: it
    // opens offscreen and runs until stopped, instead of the usage.
    void qtOptionsStillWork_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("-platform") << QStringList{"-platform", "offscreen"};
        QTest::newRow("--platform") << QStringList{"--platform", "offscreen"};
        QTest::newRow("-style") << QStringList{"-platform", "offscreen", "-style", "fusion"};
    }
    void qtOptionsStillWork()
    {
        QFETCH(QStringList, arguments);
        WorkDir dir;
        QVERIFY(dir.writeIni("[serial]\nport=/nonexistent/kelvaro/port\n"));
        HelperProcess process;
        process.setProcessEnvironment(serviceEnvironment());
        process.setWorkingDirectory(dir.path());
        process.start(executable(), arguments);
        QVERIFY(process.waitForStarted(10000));
        // The window writes its log's opening line as it is built.
        QVERIFY(QTest::qWaitFor([&] {
            return !QDir(dir.path()).entryList({QStringLiteral("mc_*.log")}).isEmpty()
                || process.state() != QProcess::Running;
        }, 20000 * Slow));
        QVERIFY2(process.state() == QProcess::Running, process.readAllStandardError().constData());
        process.end();
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
