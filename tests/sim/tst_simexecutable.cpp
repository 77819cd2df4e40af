// kelvaro-sim as operators and scripts run it.

#include "ptyclient.h"

#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

bool pathExists(const QString &path)
{
    struct stat st{};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0;
}

// A running simulator with its output collected line by line.
class SimProcess
{
public:
    ~SimProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

    bool start(const QStringList &arguments)
    {
        process.start(QStringLiteral(KELVARO_SIM_PATH), arguments);
        return process.waitForStarted(3000);
    }

    // The first line of output: the device path.
    QString firstLine(int timeoutMs = 3000) { return waitForLine(QRegularExpression(QStringLiteral(".")), timeoutMs); }

    // Waits for an output line matching re; returns it (empty on time-out).
    QString waitForLine(const QRegularExpression &re, int timeoutMs = 2000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            collect();
            while (m_next < out.size()) {
                const QString line = out.at(m_next++);
                if (re.match(line).hasMatch())
                    return line;
            }
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
                return QString();
            process.waitForReadyRead(int(qMax<qint64>(1, qMin<qint64>(50, deadline.remainingTime()))));
        }
    }

    void send(const QByteArray &text) { process.write(text); process.waitForBytesWritten(1000); }

    QString errors()
    {
        collect();
        return err;
    }

    void collect()
    {
        m_partial += process.readAllStandardOutput();
        int newline;
        while ((newline = m_partial.indexOf('\n')) >= 0) {
            out << QString::fromLocal8Bit(m_partial.left(newline));
            m_partial.remove(0, newline + 1);
        }
        err += QString::fromLocal8Bit(process.readAllStandardError());
    }

    QProcess process;
    QStringList out;
    QString err;

private:
    QByteArray m_partial;
    int m_next = 0;
};

// Asks until the monitor answers: commands on stdin take effect a moment
// after they are written.
QByteArray exchangeUntilAnswered(PtyClient &client, const QByteArray &request, int replyLength)
{
    QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        const QByteArray reply = client.exchange(request, replyLength, 100);
        if (reply.size() == replyLength)
            return reply;
    }
    return QByteArray();
}

} // namespace

class TestSimExecutable : public QObject
{
    Q_OBJECT

private slots:
    void emptyBusThroughLink();
    void demoByDefault();
    void stdinClosedKeepsRunning_data();
    void stdinClosedKeepsRunning();
    void scenarioFile();
    void vanishAndReappearOnStdin();
    void baudOption();
    void badArguments_data();
    void badArguments();
};

void TestSimExecutable::emptyBusThroughLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--empty"), QStringLiteral("--link"), link, QStringLiteral("--trace")}));
    const QString device = sim.firstLine();
    QVERIFY2(device.startsWith(QLatin1String("/dev/pts/")), qPrintable(device));
    QVERIFY(pathExists(device));
    QTRY_COMPARE(QFileInfo(link).symLinkTarget(), device);

    PtyClient client;
    QVERIFY(client.open(link));
    QVERIFY(client.exchange(hexToBytes("85 80"), 2, 100).isEmpty()); // nobody there yet
    sim.send("add 5 alarm=0x08\n");
    QCOMPARE(exchangeUntilAnswered(client, hexToBytes("85 80"), 2), hexToBytes("85 07"));
    QCOMPARE(client.exchange(hexToBytes("85 82"), 2), hexToBytes("85 08"));

    // The trace names both directions with a time in ms.
    const QRegularExpression request(QStringLiteral(R"(^\s*\d+\.\d{3} > 85 82\b)"));
    const QRegularExpression reply(QStringLiteral(R"(^\s*\d+\.\d{3} < 85 08$)"));
    QVERIFY(!sim.waitForLine(request).isEmpty());
    QVERIFY(!sim.waitForLine(reply).isEmpty());

    sim.send("status\n");
    const QString status = sim.waitForLine(QRegularExpression(QStringLiteral("^\\s+5 on ")));
    QVERIFY2(status.contains(QLatin1String("alarm=0x08")), qPrintable(status));

    sim.send("frob 5\nadd 300\n");
    QTRY_VERIFY(sim.errors().contains(QLatin1String("stdin:3: unknown command 'frob'")));
    QTRY_VERIFY(sim.errors().contains(QLatin1String("stdin:4: bad address '300'")));
    QVERIFY(sim.process.state() == QProcess::Running);

    sim.send("quit\n");
    QVERIFY(sim.process.waitForFinished(3000));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    client.close();
    QVERIFY(!pathExists(device));
}

void TestSimExecutable::demoByDefault()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    const QString device = sim.firstLine();
    PtyClient client;
    QVERIFY(client.open(device));
    QCOMPARE(client.exchange(hexToBytes("83 80"), 2), hexToBytes("83 07"));
    QCOMPARE(client.exchange(hexToBytes("83 82"), 2), hexToBytes("83 08")); // the muted one
    QCOMPARE(client.exchange(hexToBytes("84 80"), 2), hexToBytes("84 00")); // the one in standby
    QCOMPARE(client.exchange(hexToBytes("81 90 02 0A"), 12).mid(2, 8), QByteArray("KV10A001"));
    QVERIFY(client.exchange(hexToBytes("8A 80"), 2, 100).isEmpty());   // no monitor at 10

    sim.send("status\n");
    QVERIFY(!sim.waitForLine(QRegularExpression(QStringLiteral("^\\s+40 on "))).isEmpty());
    const QRegularExpression monitorLine(QStringLiteral(R"(^\s+\d+ (on |off))"));
    int monitors = 0;
    int dying = 0;
    for (const QString &line : sim.out) {
        monitors += monitorLine.match(line).hasMatch();
        dying += line.contains(QLatin1String("dies-after"));
    }
    QVERIFY2(monitors >= 10 && monitors <= 14, qPrintable(sim.out.join('\n')));
    QCOMPARE(dying, 1);

    ::kill(pid_t(sim.process.processId()), SIGTERM);
    QVERIFY(sim.process.waitForFinished(3000));
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(sim.errors().isEmpty());
}

void TestSimExecutable::stdinClosedKeepsRunning_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("interrupt") << int(SIGINT);
    QTest::newRow("terminate") << int(SIGTERM);
}

void TestSimExecutable::stdinClosedKeepsRunning()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString story = dir.filePath(QStringLiteral("one.sim"));
    QFile file(story);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("add 5\n");
    file.close();

    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), story}));
    sim.process.closeWriteChannel();
    const QString device = sim.firstLine();
    QTest::qWait(200);
    QCOMPARE(sim.process.state(), QProcess::Running);
    PtyClient client;
    QVERIFY(client.open(device));
    QCOMPARE(exchangeUntilAnswered(client, hexToBytes("85 80"), 2), hexToBytes("85 07"));
    // Only the scenario's monitor: no demo bus when a scenario is given.
    QVERIFY(client.exchange(hexToBytes("81 80"), 2, 100).isEmpty());

    ::kill(pid_t(sim.process.processId()), signal);
    QVERIFY(sim.process.waitForFinished(3000));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
}

void TestSimExecutable::scenarioFile()
{
    QTemporaryDir dir;
    const QString story = dir.filePath(QStringLiteral("story.sim"));
    QFile file(story);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("add 5 power=off\n"
               "power 5 sideways\n"   // 2: refused on loading
               "remove 9\n"           // 3: refused when played
               "wait 600ms\n"
               "power 5 on\n");
    file.close();

    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), story}));
    PtyClient client;
    QVERIFY(client.open(sim.firstLine()));
    QCOMPARE(exchangeUntilAnswered(client, hexToBytes("85 80"), 2), hexToBytes("85 00"));
    QTRY_VERIFY2(sim.errors().contains(story + QStringLiteral(":2: power must be on or off")), qPrintable(sim.errors()));
    QTRY_VERIFY2(sim.errors().contains(story + QStringLiteral(":3: no monitor at address 9")), qPrintable(sim.errors()));
    // After the wait the monitor is switched on.
    QTRY_COMPARE(client.exchange(hexToBytes("85 80"), 2, 100), hexToBytes("85 07"));
    sim.send("quit\n");
    QVERIFY(sim.process.waitForFinished(3000));
}

void TestSimExecutable::vanishAndReappearOnStdin()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--empty")}));
    const QString first = sim.firstLine();
    sim.send("add 7\n");
    {
        PtyClient client;
        QVERIFY(client.open(first));
        QCOMPARE(exchangeUntilAnswered(client, hexToBytes("87 80"), 2), hexToBytes("87 07"));
    }
    sim.send("vanish\n");
    QCOMPARE(sim.waitForLine(QRegularExpression(QStringLiteral("^device gone$"))), QStringLiteral("device gone"));
    QVERIFY(!pathExists(first));
    sim.send("vanish\n");
    QTRY_VERIFY(sim.errors().contains(QLatin1String("stdin:3: no device to vanish")));

    sim.send("reappear\n");
    const QString line = sim.waitForLine(QRegularExpression(QStringLiteral("^device /")));
    QVERIFY2(!line.isEmpty(), qPrintable(sim.out.join('\n')));
    const QString device = line.mid(7);
    QVERIFY(pathExists(device));
    PtyClient client;
    QVERIFY(client.open(device));
    QCOMPARE(client.exchange(hexToBytes("87 80"), 2), hexToBytes("87 07"));
    sim.send("quit\n");
    QVERIFY(sim.process.waitForFinished(3000));
    QCOMPARE(sim.process.exitCode(), 0);
}

void TestSimExecutable::baudOption()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--empty"), QStringLiteral("--baud"), QStringLiteral("1200"),
                       QStringLiteral("--turnaround"), QStringLiteral("5")}));
    PtyClient client;
    QVERIFY(client.open(sim.firstLine()));
    sim.send("add 5\n");
    QVERIFY(!exchangeUntilAnswered(client, hexToBytes("85 80"), 2).isEmpty());
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(client.exchange(hexToBytes("85 80"), 2), hexToBytes("85 07"));
    // Four bytes at 1200 baud are 33.3 ms, plus the turnaround.
    QVERIFY2(timer.nsecsElapsed() >= 38'000'000, qPrintable(QString::number(timer.nsecsElapsed())));
    QVERIFY(timer.elapsed() < 60);
}

void TestSimExecutable::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("bad baud") << QStringList{"--baud", "fast"} << 2 << "bad baud rate 'fast'";
    QTest::newRow("baud too low") << QStringList{"--baud", "20"} << 2 << "bad baud rate '20'";
    QTest::newRow("bad turnaround") << QStringList{"--turnaround", "-5"} << 2 << "bad turnaround '-5'";
    QTest::newRow("unknown option") << QStringList{"--frob"} << 2 << "unknown argument '--frob'";
    QTest::newRow("missing value") << QStringList{"--link"} << 2 << "--link needs a value";
    QTest::newRow("demo and empty") << QStringList{"--demo", "--empty"} << 2 << "exclude each other";
    QTest::newRow("unreadable scenario") << QStringList{"--scenario", "/nonexistent/story.sim"} << 2
                                         << "cannot read /nonexistent/story.sim";
    QTest::newRow("link onto a file") << QStringList{"--empty", "--link", "@FILE@"} << 1 << "not a symbolic link";
}

void TestSimExecutable::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    arguments.replaceInStrings(QStringLiteral("@FILE@"), plain);

    SimProcess sim;
    QVERIFY(sim.start(arguments));
    QVERIFY(sim.process.waitForFinished(3000));
    QCOMPARE(sim.process.exitCode(), exitCode);
    QVERIFY2(sim.errors().contains(message), qPrintable(sim.errors()));
    QVERIFY(QFileInfo(plain).isFile());
}

QTEST_GUILESS_MAIN(TestSimExecutable)
#include "tst_simexecutable.moc"
