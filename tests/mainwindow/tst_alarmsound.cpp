// The alarm sound for real: a PulseAudio server with a null sink stands in
// for the loudspeaker, and what reaches the sink is recorded from its monitor,
// so the checks are on what was heard. The test command starts that server;
// the "silent" run has none, the "restart" run starts and restarts its own.
#include "tests/support/mainwindowfixture.h"
#include "tests/support/sinkrecording.h"

#include "tools/sim/simmonitor.h"

#include <QtTest>

namespace {

// A reply missed on a busy machine turns the monitor into a zombie, a status
// change that would play the sound once more.
constexpr int BusTimeoutMs = 200;

// Starts a sound server of this process's own, with one null sink as its
// output. The first must start before any audio object exists: Qt connects
// once per process.
bool startSoundServer(HelperProcess &server, const QString &sinkName)
{
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral("pulseaudio"), {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                                                "--load=module-null-sink sink_name=" + sinkName,
                                                "--load=module-native-protocol-unix"});
    return server.waitForStarted(3000)
        && QTest::qWaitFor([&] { return server.state() != QProcess::Running || soundServerRunning(); }, 10000)
        && server.state() == QProcess::Running;
}

} // namespace

class TestAlarmSound : public QObject
{
    Q_OBJECT

    // Each run of this program checks its own cases: the silent run without
    // a sound server, the restart run against one of its own.
    const bool silentRun = !qEnvironmentVariableIsEmpty("KC_EXPECT_NO_SOUND_SERVER");
    const bool restartRun = !qEnvironmentVariableIsEmpty("KC_PRIVATE_SOUND_SERVER");
    QTemporaryDir serverDir{QStringLiteral("/tmp/kc-pulse-XXXXXX")};
    HelperProcess privateServer;

    // The window in alarm tone mode `tone` (extra: more [alarm] keys) with
    // the sound file beside it and these monitors found; `alarm` is the first
    // monitor's alarm from the start.
    static bool start(MainWindowFixture &f, const QVariant &tone, const QList<quint8> &addresses, quint8 alarm = 0,
                      bool soundFile = true, const QString &extra = QString())
    {
        SimMonitorState first = SimMonitor::defaultState(addresses.first());
        first.alarm = alarm;
        return f.bus.addMonitor(first) && (!soundFile || QFile::copy(goodSound(), f.dir.filePath("alarm.wav")))
            && f.startWith(addresses, QStringLiteral("[alarm]\ntone=%1\n%2").arg(tone.toString(), extra),
                           BusTimeoutMs);
    }
    static QString goodSound() { return qEnvironmentVariable("KC_BIN_DIR") + QStringLiteral("/alarm.wav"); }

private slots:
    void initTestCase()
    {
        if (!restartRun)
            return;
        // This process and the tools it runs talk to the private server.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(serverDir.path()));
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(serverDir.path()) + "/pulse/native");
        startSoundServer(privateServer, QStringLiteral("kelvaro_null"));
    }
    void init()
    {
        const QByteArray name = QTest::currentTestFunction();
        if ((name == "silentWithoutSoundServer") != silentRun
            || (name == "toneComesBackAfterSoundServerRestart") != restartRun)
            QSKIP("runs in another configuration");
        if (!silentRun && !soundServerRunning())
            QSKIP("no sound server: the test command starts one, the restart run its own");
    }

    void toneOncePlaysOncePerStatusChange()
    {
        MainWindowFixture f;
        QVERIFY(start(f, 1, {5, 6}));
        SinkRecording sound;
        QVERIFY(sound.start());
        QVERIFY(f.bus.setAlarm(5, 0x08));
        QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), 1, 5000);
        QTest::qWait(6000); // past the repeat interval: proves no repetition by time
        QCOMPARE(sound.plays().size(), 1);
        // ...but again at every later status change of any monitor while it
        // lasts, however many there are.
        for (int change = 2; change <= 7; ++change) {
            QVERIFY(f.bus.setPower(6, change % 2 != 0));
            QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), change, 5000);
        }
        QVERIFY(sound.complete());
    }

    // Tone "continue" repeats while a monitor is in alarm, and while the
    // link is lost with no monitor in alarm; each time the repetition stops
    // once the play in progress has ended.
    void toneContinueRepeatsWhileAlarmed()
    {
        MainWindowFixture f;
        f.linkBus();
        QVERIFY(start(f, 2, {5}));
        SinkRecording sound;
        QVERIFY(sound.start());
        qsizetype alarmPlays = 0;
        for (const bool linkLost : {false, true}) {
            QVERIFY(linkLost ? f.bus.vanish() : f.bus.setAlarm(5, 0x08));
            // Many more plays than one output stream survives.
            QTRY_VERIFY_WITH_TIMEOUT(sound.plays().size() >= alarmPlays + (linkLost ? 2 : 9), 60000);
            QCOMPARE(f.w("alarmLabel")->text(), linkLost ? "0 Alarming" : "1 Alarming");
            QVERIFY(linkLost ? f.bus.reappear() : f.bus.setAlarm(5, 0x00));
            QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), sound.plays().size(), 5000);
            alarmPlays = alarmPlays ? alarmPlays : sound.plays().size();
            const qsizetype plays = sound.plays().size();
            QTest::qWait(6000); // past the repeat interval: proves the repetition has stopped
            QCOMPARE(sound.plays().size(), plays);
        }
        const QList<QPair<double, double>> plays = sound.plays();
        for (int i = 1; i < plays.size(); ++i) {
            const double gap = plays.at(i).first - plays.at(i - 1).first;
            QVERIFY2(i == alarmPlays || (gap > 4500 && gap < 5800), qPrintable(QString::number(gap)));
        }
        QVERIFY(sound.complete());
    }

    // Nothing plays with the tone off, without the sound file, or for a lost
    // link with the link alarm off.
    void neverPlays()
    {
        for (const auto &[tone, soundFile, linkLost] :
             {std::tuple(0, true, false), std::tuple(1, false, false), std::tuple(2, true, true)}) {
            MainWindowFixture f;
            f.linkBus();
            SinkRecording sound;
            QVERIFY(sound.start());
            if (!soundFile)
                QTest::ignoreMessage(QtDebugMsg, "Audio file not found");
            QVERIFY(start(f, tone, {5}, linkLost ? 0 : 0x08, soundFile, QStringLiteral("link=false\n")));
            QTRY_COMPARE(f.w("alarmLabel")->text(), linkLost ? "0 Alarming" : "1 Alarming");
            QVERIFY(linkLost ? f.bus.vanish() : f.bus.setAlarm(5, 0x0A)); // would play (again)
            QTest::qWait(linkLost ? 7000 : 1500); // proves an absence, past a repeat interval where one counts
            QCOMPARE(sound.plays().size(), 0);
        }
    }

    // A sound file that is empty, cut short, not a sound at all or not a
    // file: it plays raw for as long as it lasts, or not at all, and the
    // next play is not held up. A good file put in its place plays at the
    // next status change. A tone setting that is no number means "once".
    void badSoundFile_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // "dir": a directory of that name
        QFile good(goodSound());
        QVERIFY(good.open(QIODevice::ReadOnly));
        const QByteArray sound = good.readAll();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header only") << sound.left(44);
        QTest::newRow("cut off in mid-sample") << sound.left(sound.size() / 2 + 1);
        // Text as samples is loud noise, 100 KB of it some 0.6 s.
        QTest::newRow("not a sound") << QByteArray("not a sound file\n").repeated(6000);
        QTest::newRow("a directory") << QByteArray("dir");
    }
    void badSoundFile()
    {
        QFETCH(QByteArray, bytes);
        MainWindowFixture f;
        const QString wav = f.dir.filePath("alarm.wav");
        if (bytes == "dir") {
            QVERIFY(QDir().mkdir(wav));
            QTest::ignoreMessage(QtDebugMsg, "Audio file not found");
        } else {
            QFile file(wav);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        const QList<QPair<double, double>> held = SinkRecording::playsIn(wav);
        QVERIFY(held.size() <= 1);
        // A header alone is a click too short to be told from silence.
        const double holds = held.isEmpty() ? 0 : held.first().second - held.first().first;
        SinkRecording sound;
        QVERIFY(sound.start());
        QVERIFY(start(f, QStringLiteral("loud"), {5, 6}, 0, false));
        QVERIFY(f.bus.setAlarm(5, 0x08));
        QTRY_COMPARE(f.w("alarmLabel")->text(), "1 Alarming");
        if (holds < 50) {
            QTest::qWait(1500); // longer than the sound that is not there
            QVERIFY(sound.plays().size() <= held.size());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), 1, 5000);
            const double heard = sound.plays().first().second - sound.plays().first().first;
            QVERIFY2(heard > 0.95 * holds && heard < holds + 100,
                     qPrintable(QStringLiteral("heard %1 ms of %2 ms").arg(heard).arg(holds)));
        }

        const qsizetype before = sound.plays().size();
        QVERIFY(bytes == "dir" ? QDir().rmdir(wav) : QFile::remove(wav));
        QVERIFY(QFile::copy(goodSound(), wav));
        QVERIFY(f.bus.setPower(6, false));
        QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), before + 1, 5000);
        const double heard = sound.plays().last().second - sound.plays().last().first;
        const QList<QPair<double, double>> reference = SinkRecording::playsIn(wav);
        QVERIFY2(heard > 0.95 * (reference.first().second - reference.first().first), qPrintable(QString::number(heard)));
    }

    void toneComesBackAfterSoundServerRestart()
    {
        MainWindowFixture f;
        QVERIFY(start(f, 2, {5}));
        {
            SinkRecording sound;
            QVERIFY(sound.start());
            QVERIFY(f.bus.setAlarm(5, 0x08));
            QTRY_COMPARE_WITH_TIMEOUT(sound.plays().size(), 1, 5000);
        }
        // Gone in the middle of a play, and back at once with another sink.
        privateServer.end();
        QVERIFY(startSoundServer(privateServer, QStringLiteral("kelvaro_other")));
        SinkRecording sound;
        QVERIFY(sound.start());
        // Qt reconnects 3 s after losing the server; the next repetition plays.
        QTRY_COMPARE_WITH_TIMEOUT(sound.ended(), 1, 12000);
        QVERIFY(sound.complete());
    }

    void silentWithoutSoundServer()
    {
        MainWindowFixture f;
        QTest::ignoreMessage(QtDebugMsg, "Audio format not supported");
        // Everything else works: the alarm is counted and shown.
        QVERIFY(start(f, 2, {5}, 0x08));
        QTRY_COMPARE(f.w("alarmLabel")->text(), QStringLiteral("1 Alarming"));
        QCOMPARE(f.w("alarmLabel")->palette().color(QPalette::WindowText), QColor(Qt::red));
    }
};

QTEST_MAIN(TestAlarmSound)
#include "tst_alarmsound.moc"
