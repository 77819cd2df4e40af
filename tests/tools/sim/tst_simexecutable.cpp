// kelvaro-sim as operators and scripts run it.
#include "tests/support/ptyclient.h"

#include <QtTest>

#include <csignal>

namespace {

// A running simulator with its output collected line by line.
class SimProcess
{
public:
    ~SimProcess()
    {
        process.kill();
        process.waitForFinished(2000);
    }

    bool start(const QStringList &arguments)
    {
        process.start(QStringLiteral(KELVARO_SIM_PATH), arguments);
        return process.waitForStarted(3000);
    }

    // Waits for an output line matching the pattern; returns it (empty on time-out).
    QString waitForLine(const QString &pattern)
    {
        const QRegularExpression re(pattern);
        QDeadlineTimer deadline(3000);
        for (;;) {
            out += QString::fromLocal8Bit(process.readAllStandardOutput());
            while (out.contains(QLatin1Char('\n'))) {
                const QString line = out.section(QLatin1Char('\n'), 0, 0);
                out.remove(0, line.size() + 1);
                seen << line;
                if (re.match(line).hasMatch())
                    return line;
            }
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
                return QString();
            process.waitForReadyRead(50);
        }
    }

    void send(const QByteArray &text)
    {
        process.write(text);
        process.waitForBytesWritten(1000);
    }

    QString errors()
    {
        err += QString::fromLocal8Bit(process.readAllStandardError());
        return err;
    }

    bool endsCleanly(int signal = 0)
    {
        if (signal)
            ::kill(pid_t(process.processId()), signal);
        else
            send("quit\n");
        return process.waitForFinished(3000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }

    QProcess process;
    QStringList seen;

private:
    QString out;
    QString err;
};

// Asks until the monitor answers: commands on stdin take effect a moment
// after they are written.
QByteArray exchangeUntilAnswered(PtyClient &client, const char *request, int replyLength)
{
    QDeadlineTimer deadline(3000);
    QByteArray reply;
    while (reply.size() != replyLength && !deadline.hasExpired())
        reply = client.exchange(hexToBytes(request), replyLength, 100);
    return reply;
}

QString writeFile(const QTemporaryDir &dir, const QByteArray &text)
{
    QFile file(dir.filePath(QStringLiteral("story.sim")));
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? file.fileName() : QString();
}

} // namespace

class TestSimExecutable : public QObject
{
    Q_OBJECT

private slots:
    void stdinStory();
    void demoByDefault();
    void scenarioFile();
    void badArguments_data();
    void badArguments();
};

void TestSimExecutable::stdinStory()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    SimProcess sim;
    QVERIFY(sim.start({"--empty", "--link", link, "--trace", "--baud", "1200", "--turnaround", "5"}));
    const QString device = sim.waitForLine(QStringLiteral("."));
    QVERIFY2(device.startsWith(QLatin1String("/dev/pts/")), qPrintable(device));
    QTRY_COMPARE(QFileInfo(link).symLinkTarget(), device);

    PtyClient client;
    QVERIFY(client.open(link));
    QVERIFY(client.exchange(hexToBytes("85 80"), 2, 100).isEmpty()); // nobody there yet
    sim.send("add 5 alarm=0x08\n");
    QCOMPARE(exchangeUntilAnswered(client, "85 80", 2), hexToBytes("85 07"));
    // Four bytes at 1200 baud are 33.3 ms, plus the turnaround.
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(client.exchange(hexToBytes("85 82"), 2), hexToBytes("85 08"));
    QVERIFY2(timer.nsecsElapsed() >= 38'000'000 && timer.elapsed() < 60, qPrintable(QString::number(timer.nsecsElapsed())));
    // The trace names both directions with a time in ms.
    QVERIFY(!sim.waitForLine(QStringLiteral(R"(^\s*\d+\.\d{3} > 85 82\b)")).isEmpty());
    QVERIFY(!sim.waitForLine(QStringLiteral(R"(^\s*\d+\.\d{3} < 85 08$)")).isEmpty());
    sim.send("status\n");
    QVERIFY(sim.waitForLine(QStringLiteral("^\\s+5 on ")).contains(QLatin1String("alarm=0x08")));
    sim.send("frob 5\nadd 300\n");
    QTRY_VERIFY(sim.errors().contains(QLatin1String("stdin:3: unknown command 'frob'")));
    QTRY_VERIFY(sim.errors().contains(QLatin1String("stdin:4: bad address '300'")));

    // The device goes, and comes back as another node with the link following it.
    sim.send("vanish\n");
    QCOMPARE(sim.waitForLine(QStringLiteral("^device")), QStringLiteral("device gone"));
    client.close();
    QVERIFY(!QFileInfo::exists(device) && !QFileInfo(link).isSymLink());
    sim.send("vanish\n");
    QTRY_VERIFY(sim.errors().contains(QLatin1String("stdin:6: no device to vanish")));
    sim.send("reappear newnode\n");
    const QString again = sim.waitForLine(QStringLiteral("^device /")).mid(7);
    QVERIFY2(!again.isEmpty() && again != device, qPrintable(again));
    QTRY_COMPARE(QFileInfo(link).symLinkTarget(), again);
    QVERIFY(client.open(link));
    QCOMPARE(client.exchange(hexToBytes("85 80"), 2), hexToBytes("85 05"));

    // A cut line: the port stays usable, but nothing answers until it is mended.
    sim.send("silence all\nstatus\n");
    QVERIFY(sim.waitForLine(QStringLiteral("^bus ")).endsWith(QLatin1String(" line=silent")));
    QVERIFY(client.write(hexToBytes("85 80")));
    QVERIFY(client.read(2, 150).isEmpty());
    sim.send("silence none\n");
    QCOMPARE(exchangeUntilAnswered(client, "85 80", 2), hexToBytes("85 05"));

    QVERIFY(sim.endsCleanly());
    QVERIFY(!QFileInfo(link).isSymLink());
    client.close();
    QVERIFY(!QFileInfo::exists(again));
}

void TestSimExecutable::demoByDefault()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    PtyClient client;
    QVERIFY(client.open(sim.waitForLine(QStringLiteral("."))));
    QCOMPARE(client.exchange(hexToBytes("83 80"), 2), hexToBytes("83 07"));
    QCOMPARE(client.exchange(hexToBytes("83 82"), 2), hexToBytes("83 08")); // the muted one
    QCOMPARE(client.exchange(hexToBytes("84 80"), 2), hexToBytes("84 00")); // the one in standby
    QCOMPARE(client.exchange(hexToBytes("81 90 02 0A"), 12).mid(2, 8), QByteArray("KV10A001"));
    QVERIFY(client.exchange(hexToBytes("8A 80"), 2, 100).isEmpty()); // no monitor at 10

    // About a dozen monitors, one of which stops answering after a while.
    sim.send("status\n");
    QVERIFY(!sim.waitForLine(QStringLiteral("^\\s+40 on ")).isEmpty());
    const QStringList monitors = sim.seen.filter(QRegularExpression(QStringLiteral(R"(^\s+\d+ (on |off))")));
    QVERIFY2(monitors.size() >= 10 && monitors.size() <= 14, qPrintable(sim.seen.join('\n')));
    QCOMPARE(monitors.filter(QStringLiteral("dies-after")).size(), 1);
    QVERIFY(sim.endsCleanly(SIGTERM));
    QVERIFY(sim.errors().isEmpty());
}

void TestSimExecutable::scenarioFile()
{
    QTemporaryDir dir;
    const QString story = writeFile(dir, "add 5 power=off\n"
                                         "power 5 sideways\n" // 2: refused on loading
                                         "remove 9\n"         // 3: refused when played
                                         "wait 600ms\n"
                                         "power 5 on\n");
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), story}));
    sim.process.closeWriteChannel(); // no more commands: it keeps running
    PtyClient client;
    QVERIFY(client.open(sim.waitForLine(QStringLiteral("."))));
    QCOMPARE(exchangeUntilAnswered(client, "85 80", 2), hexToBytes("85 00"));
    QVERIFY(client.exchange(hexToBytes("81 80"), 2, 100).isEmpty()); // no demo bus with a scenario
    QTRY_VERIFY(sim.errors().contains(story + QStringLiteral(":2: power must be on or off")));
    QTRY_VERIFY(sim.errors().contains(story + QStringLiteral(":3: no monitor at address 9")));
    // After the wait the monitor is switched on.
    QTRY_COMPARE(client.exchange(hexToBytes("85 80"), 2, 100), hexToBytes("85 07"));
    QCOMPARE(sim.process.state(), QProcess::Running);
    QVERIFY(sim.endsCleanly(SIGINT));
}

void TestSimExecutable::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("bad baud") << QStringList{"--baud", "fast"} << 2 << "bad baud rate 'fast'";
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
    const QString plain = writeFile(dir, "");
    SimProcess sim;
    QVERIFY(sim.start(arguments.replaceInStrings(QStringLiteral("@FILE@"), plain)));
    QVERIFY(sim.process.waitForFinished(3000));
    QCOMPARE(sim.process.exitCode(), exitCode);
    QVERIFY2(sim.errors().contains(message), qPrintable(sim.errors()));
    QVERIFY(QFileInfo(plain).isFile());
}

QTEST_GUILESS_MAIN(TestSimExecutable)
#include "tst_simexecutable.moc"
