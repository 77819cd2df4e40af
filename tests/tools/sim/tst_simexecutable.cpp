// kelvaro-sim as operators and scripts run it.
#include "tests/support/ptyclient.h"

#include <QtTest>

class TestSimExecutable : public QObject
{
    Q_OBJECT

private slots:
    void scenarioAndStdin();
    void usage_data();
    void usage();
};

void TestSimExecutable::scenarioAndStdin()
{
    QTemporaryFile story;
    QVERIFY(story.open());
    story.write("add 5 power=off\n"
                "power 5 sideways\n" // 2: refused on loading
                "remove 9\n"         // 3: refused when played
                "wait 1s\n"
                "power 5 on\n"
                "wait 10s\n");       // still waiting when told to stop
    QVERIFY(story.flush());
    QProcess sim;
    sim.start(QStringLiteral(KELVARO_SIM_PATH), {"--scenario", story.fileName(), "--trace", "--baud", "1200"});
    PtyClient client;
    QVERIFY(sim.waitForReadyRead(3000) && client.open(QString::fromLocal8Bit(sim.readLine()).trimmed()));
    auto echo = [&] { return client.write(hexToBytes("85 80")) ? client.read(2, 100) : QByteArray(); };

    // The monitor comes with the scenario, and is switched on after its wait.
    QTRY_COMPARE(echo(), hexToBytes("85 00"));
    QTRY_COMPARE(echo(), hexToBytes("85 07"));
    QByteArray errors = sim.readAllStandardError();
    const QByteArray file = story.fileName().toLocal8Bit();
    QVERIFY(errors.contains(file + ":2: power must be on or off, not 'sideways': 'power 5 sideways'"));
    QVERIFY(errors.contains(file + ":3: no monitor at address 9: 'remove 9'"));

    // Commands on stdin, a bad line named by its number. The end of stdin
    // ends only the reading: the bus goes on.
    sim.write("alarm 5 0x08\nfrob\n");
    QTRY_VERIFY((errors += sim.readAllStandardError()).contains("stdin:2: unknown command 'frob'"));
    sim.closeWriteChannel();
    // A reply at 1200 baud, four bytes of 8.3 ms each, traced on stdout.
    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.write(hexToBytes("85 82")));
    QCOMPARE(client.read(2, 500), hexToBytes("85 08"));
    QVERIFY2(timer.nsecsElapsed() >= 33'000'000 && timer.elapsed() < 60, qPrintable(QString::number(timer.elapsed())));
    const QRegularExpression traced(QStringLiteral(R"(\n\s*\d+\.\d{3} > 85 82  # alarm 5\n\s*\d+\.\d{3} < 85 08\n)"));
    QString out;
    QTRY_VERIFY(traced.match(out += QString::fromLocal8Bit(sim.readAllStandardOutput())).hasMatch());

    sim.terminate();
    QVERIFY(sim.waitForFinished(3000) && sim.exitStatus() == QProcess::NormalExit && sim.exitCode() == 0);

    // Without a scenario it plays the demo bus, whose monitor 3 is muted.
    sim.start(QStringLiteral(KELVARO_SIM_PATH), QStringList());
    QVERIFY(sim.waitForReadyRead(3000) && client.open(QString::fromLocal8Bit(sim.readLine()).trimmed()));
    QVERIFY(client.write(hexToBytes("83 82")));
    QCOMPARE(client.read(2, 500), hexToBytes("83 08"));
    sim.write("quit\n");
    QVERIFY(sim.waitForFinished(3000) && sim.exitCode() == 0);
}

void TestSimExecutable::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // on stderr, on stdout for --help

    QTest::newRow("help") << QStringList{"--help"} << 0 << "usage: kelvaro-sim [--link PATH]";
    QTest::newRow("unknown option") << QStringList{"--frob"} << 2 << "unknown argument '--frob'\nusage: kelvaro-sim";
    QTest::newRow("bad baud") << QStringList{"--baud", "fast"} << 2 << "bad baud rate 'fast'";
    QTest::newRow("absent scenario") << QStringList{"--scenario", "/nonexistent/s.sim"} << 2 << "cannot read /nonexistent/s.sim";
    // A link path that is a real file is never replaced.
    QTest::newRow("link onto a file") << QStringList{"--empty", "--link", "@FILE@"} << 1 << "not a symbolic link";
}

void TestSimExecutable::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryFile plain;
    QVERIFY(plain.open());
    QProcess sim;
    sim.start(QStringLiteral(KELVARO_SIM_PATH), arguments.replaceInStrings(QStringLiteral("@FILE@"), plain.fileName()));
    QVERIFY(sim.waitForFinished(3000));
    QCOMPARE(sim.exitCode(), exitCode);
    const QString said = QString::fromLocal8Bit(exitCode ? sim.readAllStandardError() : sim.readAllStandardOutput());
    QVERIFY2(said.contains(message), qPrintable(said));
    QVERIFY(QFileInfo(plain.fileName()).isFile());
}

QTEST_GUILESS_MAIN(TestSimExecutable)
#include "tst_simexecutable.moc"
