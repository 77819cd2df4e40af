// The alarm sound for real: a PulseAudio server with a null sink stands in
// for the loudspeaker. Every stream the window opens on it shows as a new
// sink input, and what reaches the sink is recorded from its monitor, so the
// checks are on what was heard, not on what the window believes it played.
// The test command starts that server; without one these cases are skipped,
// and the separate "silent" run checks the window stays quiet. The "restart"
// run starts a server of its own, which it may stop and start again without
// disturbing the tests that share the other one.
#include "tests/support/mainwindowfixture.h"

#include "supervision/mcontroller.h"

#include <QtTest>

#include <QLabel>
#include <QProcess>
#include <QtEndian>

#include <sys/prctl.h>

#include <csignal>

namespace {

constexpr int SampleRate = 44100;
constexpr int FrameBytes = 4; // 16-bit stereo
// Louder than any noise, far quieter than the tone (full scale is 32767).
constexpr int Audible = 1000;
// Plays are told apart by a silence longer than the pauses inside the tone.
constexpr int PlayGapMs = 400;
// A reply missed on a busy machine turns the monitor into a zombie, a status
// change that would play the sound once more.
constexpr int BusTimeoutMs = 200;

// Ends a helper process along with this test, however the test ends: a
// killed test must not leave a sound server or a recorder behind.
void tieToTest(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

// Counts the playback streams that appear on and leave the sound server.
class PlaybackWatcher
{
public:
    bool start()
    {
        tieToTest(process);
        process.setProgram(QStringLiteral("pactl"));
        process.setArguments({QStringLiteral("subscribe")});
        process.start();
        if (!process.waitForStarted(3000))
            return false;
        // Stamped as they come, not when asked for.
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { poll(); });
        // pactl prints nothing until the first event; give it time to connect.
        QTest::qWait(300);
        clock.start();
        return process.state() == QProcess::Running;
    }

    ~PlaybackWatcher()
    {
        process.kill();
        process.waitForFinished(1000);
    }

    // Times (ms since start()) at which playback streams appeared.
    QList<qint64> plays()
    {
        poll();
        return created;
    }

    // Times at which playback streams ended.
    QList<qint64> ends()
    {
        poll();
        return removed;
    }

    QElapsedTimer clock;

private:
    void poll()
    {
        buffer += process.readAllStandardOutput();
        int end;
        while ((end = buffer.indexOf('\n')) >= 0) {
            const QByteArray line = buffer.left(end);
            buffer.remove(0, end + 1);
            if (line.contains("'new' on sink-input"))
                created << clock.elapsed();
            else if (line.contains("'remove' on sink-input"))
                removed << clock.elapsed();
        }
    }

    QProcess process;
    QByteArray buffer;
    QList<qint64> created;
    QList<qint64> removed;
};

// Records what the default sink plays, as raw 16-bit stereo samples.
class SoundRecorder
{
public:
    explicit SoundRecorder(const QString &path)
        : path(path)
    {
    }

    ~SoundRecorder() { stop(); }

    // True once the recording runs.
    bool start()
    {
        tieToTest(process);
        process.setStandardOutputFile(path);
        process.start(QStringLiteral("parec"),
                      {QStringLiteral("-d"), QStringLiteral("@DEFAULT_MONITOR@"),
                       QStringLiteral("--format=s16le"),
                       QStringLiteral("--rate=%1").arg(SampleRate),
                       QStringLiteral("--channels=2"), QStringLiteral("--raw")});
        return process.waitForStarted(3000)
            && QTest::qWaitFor([this] { return QFileInfo(path).size() > 0; }, 5000);
    }

    QByteArray stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(1000);
            }
        }
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QString path;
    QProcess process;
};

// The audible stretches of 16-bit stereo samples, each from its first to its
// last audible sample, in ms; a quiet of more than PlayGapMs ends a stretch.
QList<double> audibleSpans(const QByteArray &pcm)
{
    QList<double> spans;
    const qint64 frames = pcm.size() / FrameBytes;
    const qint64 gapFrames = qint64(SampleRate) * PlayGapMs / 1000;
    qint64 first = -1;
    qint64 last = -1;
    for (qint64 i = 0; i < frames; ++i) {
        const char *frame = pcm.constData() + i * FrameBytes;
        const int left = qFromLittleEndian<qint16>(frame);
        const int right = qFromLittleEndian<qint16>(frame + 2);
        if (qAbs(left) <= Audible && qAbs(right) <= Audible)
            continue;
        if (first >= 0 && i - last > gapFrames) {
            spans << (last - first) * 1000.0 / SampleRate;
            first = -1;
        }
        if (first < 0)
            first = i;
        last = i;
    }
    if (first >= 0)
        spans << (last - first) * 1000.0 / SampleRate;
    return spans;
}

// Checks that the recording holds `plays` plays, each spanning at least 95%
// of the sound in the file (played raw, as the window does).
bool completePlays(const QByteArray &recording, const QString &soundFile, int plays)
{
    QFile file(soundFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<double> sound = audibleSpans(file.readAll());
    const QList<double> heard = audibleSpans(recording);
    const double shortest = heard.isEmpty() ? 0 : *std::min_element(heard.cbegin(), heard.cend());
    qInfo("%d plays heard (%d expected), shortest %.0f ms of %.0f ms", int(heard.size()), plays,
          shortest, sound.value(0));
    if (sound.size() == 1 && heard.size() == plays && shortest >= 0.95 * sound.first())
        return true;
    qWarning() << "heard (ms):" << heard;
    return false;
}

bool soundServerRunning()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return pactl.waitForFinished(3000) && pactl.exitStatus() == QProcess::NormalExit
        && pactl.exitCode() == 0;
}

// A sound server of this process's own, with one null sink as its output.
class PrivateSoundServer
{
public:
    // Points this process (and the tools it runs) at the server and starts
    // it. Must run before any audio object exists: Qt connects once per
    // process.
    bool prepare()
    {
        if (!dir.isValid())
            return false;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(dir.path()) + "/pulse/native");
        return start(QStringLiteral("kelvaro_null"));
    }

    bool start(const QString &sinkName)
    {
        tieToTest(process);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QStringLiteral("pulseaudio"),
                      {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                       QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                       QStringLiteral("--load=module-null-sink sink_name=") + sinkName,
                       QStringLiteral("--load=module-native-protocol-unix")});
        return process.waitForStarted(3000)
            && QTest::qWaitFor([this] { return process.state() != QProcess::Running
                                               || soundServerRunning(); }, 10000)
            && process.state() == QProcess::Running;
    }

    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(1000);
        }
    }

    ~PrivateSoundServer() { stop(); }

private:
    QTemporaryDir dir{QStringLiteral("/tmp/kc-pulse-XXXXXX")};
    QProcess process;
};

SimMonitorState monitor(quint8 address, quint8 alarm = 0)
{
    SimMonitorState state;
    state.address = address;
    state.serialNumber = QStringLiteral("KV%1").arg(address);
    state.alarm = alarm;
    return state;
}

} // namespace

class TestAlarmSound : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void toneOncePlaysOncePerStatusChange();
    void toneContinueRepeatsUntilTheAlarmClears();
    void toneOffNeverPlays();
    void missingSoundFilePlaysNothing();
    void toneComesBackAfterSoundServerRestart();
    void lostLinkSounds_data();
    void lostLinkSounds();
    void silentWithoutSoundServer();

private:
    enum Run { SharedServer, PrivateServer, NoServer };
    static Run currentRun();
    std::unique_ptr<PrivateSoundServer> privateServer;
    void copyAlarmSound(const QString &dir);
};

TestAlarmSound::Run TestAlarmSound::currentRun()
{
    if (!qEnvironmentVariableIsEmpty("KC_EXPECT_NO_SOUND_SERVER"))
        return NoServer;
    if (!qEnvironmentVariableIsEmpty("KC_PRIVATE_SOUND_SERVER"))
        return PrivateServer;
    return SharedServer;
}

void TestAlarmSound::initTestCase()
{
    if (currentRun() != PrivateServer)
        return;
    privateServer = std::make_unique<PrivateSoundServer>();
    if (!privateServer->prepare())
        privateServer.reset();
}

void TestAlarmSound::init()
{
    const QByteArray name = QTest::currentTestFunction();
    const Run run = name == "silentWithoutSoundServer"                ? NoServer
                  : name == "toneComesBackAfterSoundServerRestart" ? PrivateServer
                                                                     : SharedServer;
    if (run != currentRun())
        QSKIP("runs in another configuration");
    if (run == PrivateServer && !privateServer)
        QSKIP("no sound server could be started");
    if (run != NoServer && !soundServerRunning())
        QSKIP("no sound server: the test command starts one");
}

void TestAlarmSound::copyAlarmSound(const QString &dir)
{
    const QString wav = qEnvironmentVariable("KC_BIN_DIR") + QStringLiteral("/alarm.wav");
    QVERIFY2(QFile::copy(wav, dir + QStringLiteral("/alarm.wav")), qPrintable(wav));
}

void TestAlarmSound::toneOncePlaysOncePerStatusChange()
{
    MainWindowFixture f;
    copyAlarmSound(f.dir.path());
    QVERIFY(f.bus.addMonitor(monitor(5)));
    QVERIFY(f.bus.addMonitor(monitor(6)));
    f.writeSettings(QStringLiteral("[alarm]\ntone=1\n"), BusTimeoutMs);
    f.open();
    QVERIFY(f.searchUpTo(6));

    PlaybackWatcher watcher;
    QVERIFY(watcher.start());
    SoundRecorder recorder(f.dir.filePath(QStringLiteral("heard.raw")));
    QVERIFY(recorder.start());
    QVERIFY(f.bus.setAlarm(5, 0x08));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.ends().size(), 1, 5000);
    // No repetition by time...
    QTest::qWait(6000);
    QCOMPARE(watcher.plays().size(), 1);
    // ...but again at every later status change of any monitor while it
    // lasts, however many there are.
    constexpr int Changes = 7;
    for (int change = 2; change <= Changes; ++change) {
        // Leave a silence between plays, so that the recording tells them apart.
        QTest::qWait(2 * PlayGapMs);
        QVERIFY(f.bus.setPower(6, change % 2 != 0));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.plays().size(), change, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(watcher.ends().size(), change, 5000);
    }
    QVERIFY(completePlays(recorder.stop(), f.dir.filePath(QStringLiteral("alarm.wav")), Changes));
}

void TestAlarmSound::toneContinueRepeatsUntilTheAlarmClears()
{
    MainWindowFixture f;
    copyAlarmSound(f.dir.path());
    QVERIFY(f.bus.addMonitor(monitor(5)));
    f.writeSettings(QStringLiteral("[alarm]\ntone=2\n"), BusTimeoutMs);
    f.open();
    QVERIFY(f.searchUpTo(5));

    PlaybackWatcher watcher;
    QVERIFY(watcher.start());
    SoundRecorder recorder(f.dir.filePath(QStringLiteral("heard.raw")));
    QVERIFY(recorder.start());
    QVERIFY(f.bus.setAlarm(5, 0x08));
    // Long enough for many more plays than one output stream survives.
    QTest::qWait(45000);
    QVERIFY(f.bus.setAlarm(5, 0x00));
    QTRY_COMPARE(f.label("alarmLabel")->text(), QStringLiteral("0 Alarming"));
    // The play in progress runs to its end.
    const bool allEnded = QTest::qWaitFor(
        [&] { return watcher.ends().size() == watcher.plays().size(); }, 5000);
    const QList<qint64> plays = watcher.plays();
    qInfo("%d playback streams created, %d removed", int(plays.size()), int(watcher.ends().size()));
    const bool complete = completePlays(recorder.stop(),
                                        f.dir.filePath(QStringLiteral("alarm.wav")), plays.size());
    QVERIFY(allEnded);
    QVERIFY2(plays.size() >= 8, qPrintable(QString::number(plays.size())));
    for (int i = 1; i < plays.size(); ++i) {
        const qint64 gap = plays.at(i) - plays.at(i - 1);
        QVERIFY2(gap > 4500 && gap < 5800, qPrintable(QString::number(gap)));
    }
    QVERIFY(complete);

    QTest::qWait(6000);
    QCOMPARE(watcher.plays().size(), plays.size());
}

void TestAlarmSound::toneOffNeverPlays()
{
    MainWindowFixture f;
    copyAlarmSound(f.dir.path());
    QVERIFY(f.bus.addMonitor(monitor(5, 0x08)));
    f.writeSettings(QStringLiteral("[alarm]\ntone=0\n"), BusTimeoutMs);
    PlaybackWatcher watcher;
    QVERIFY(watcher.start());
    f.open();
    QVERIFY(f.searchUpTo(5));
    QTRY_COMPARE(f.label("alarmLabel")->text(), QStringLiteral("1 Alarming"));
    QVERIFY(f.bus.setAlarm(5, 0x0A));
    QTest::qWait(1500);
    QCOMPARE(watcher.plays().size(), 0);
}

void TestAlarmSound::missingSoundFilePlaysNothing()
{
    MainWindowFixture f;
    QVERIFY(f.bus.addMonitor(monitor(5, 0x08)));
    f.writeSettings(QStringLiteral("[alarm]\ntone=1\n"), BusTimeoutMs);
    PlaybackWatcher watcher;
    QVERIFY(watcher.start());
    f.open();
    QTest::ignoreMessage(QtDebugMsg, "Audio file not found");
    QVERIFY(f.searchUpTo(5));
    QTRY_COMPARE(f.label("alarmLabel")->text(), QStringLiteral("1 Alarming"));
    QTest::qWait(1000);
    QCOMPARE(watcher.plays().size(), 0);
}

void TestAlarmSound::toneComesBackAfterSoundServerRestart()
{
    MainWindowFixture f;
    copyAlarmSound(f.dir.path());
    QVERIFY(f.bus.addMonitor(monitor(5)));
    f.writeSettings(QStringLiteral("[alarm]\ntone=2\n"), BusTimeoutMs);
    f.open();
    QVERIFY(f.searchUpTo(5));
    {
        PlaybackWatcher watcher;
        QVERIFY(watcher.start());
        QVERIFY(f.bus.setAlarm(5, 0x08));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.plays().size(), 1, 5000);
    }

    // Gone in the middle of a play, and back at once with another sink.
    privateServer->stop();
    QVERIFY(privateServer->start(QStringLiteral("kelvaro_other")));
    PlaybackWatcher watcher;
    QVERIFY(watcher.start());
    SoundRecorder recorder(f.dir.filePath(QStringLiteral("heard.raw")));
    QVERIFY(recorder.start());
    // Qt reconnects 3 s after losing the server; the next repetition plays.
    QTRY_VERIFY_WITH_TIMEOUT(!watcher.plays().isEmpty(), 10000);
    qInfo("tone back %lld ms after the sound server", watcher.plays().first());
    QTRY_COMPARE_WITH_TIMEOUT(watcher.ends().size(), 1, 5000);
    QVERIFY(completePlays(recorder.stop(), f.dir.filePath(QStringLiteral("alarm.wav")), 1));
}

void TestAlarmSound::lostLinkSounds_data()
{
    QTest::addColumn<bool>("linkAlarm");
    QTest::newRow("link alarm on") << true;
    QTest::newRow("link alarm off") << false;
}

// A lost link sounds like an alarm, as the tone option says, while no
// monitor is in alarm; the "link" option silences it.
void TestAlarmSound::lostLinkSounds()
{
    QFETCH(bool, linkAlarm);
    MainWindowFixture f;
    copyAlarmSound(f.dir.path());
    f.linkBus();
    QVERIFY(f.bus.addMonitor(monitor(5)));
    f.writeSettings(QStringLiteral("[alarm]\ntone=2\nlink=%1\n").arg(linkAlarm ? "true" : "false"),
                    BusTimeoutMs);
    f.open();
    QVERIFY(f.searchUpTo(5));

    PlaybackWatcher watcher;
    QVERIFY(watcher.start());
    QVERIFY(f.bus.vanish());
    QTRY_VERIFY_WITH_TIMEOUT(f.label("linkLabel")->text().startsWith(QStringLiteral("Link lost")), 2000);
    QTest::qWait(7000);
    QCOMPARE(f.label("alarmLabel")->text(), QStringLiteral("0 Alarming"));
    if (!linkAlarm) {
        QCOMPARE(watcher.plays().size(), 0);
        return;
    }
    QVERIFY2(watcher.plays().size() >= 2, qPrintable(QString::number(watcher.plays().size())));

    // Back: the repetition stops once the play in progress has ended.
    QVERIFY(f.bus.reappear());
    QTRY_COMPARE_WITH_TIMEOUT(f.label("linkLabel")->text(), QStringLiteral("Link OK"), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.ends().size(), watcher.plays().size(), 3000);
    const qsizetype plays = watcher.plays().size();
    QTest::qWait(6000);
    QCOMPARE(watcher.plays().size(), plays);
}

void TestAlarmSound::silentWithoutSoundServer()
{
    MainWindowFixture f;
    copyAlarmSound(f.dir.path());
    QVERIFY(f.bus.addMonitor(monitor(5, 0x08)));
    f.writeSettings(QStringLiteral("[alarm]\ntone=2\n"), BusTimeoutMs);
    QTest::ignoreMessage(QtDebugMsg, "Audio format not supported");
    f.open();
    // Everything else works: the alarm is counted and shown.
    QVERIFY(f.searchUpTo(5));
    QTRY_COMPARE(f.label("alarmLabel")->text(), QStringLiteral("1 Alarming"));
    QCOMPARE(f.label("alarmLabel")->palette().color(QPalette::WindowText), QColor(Qt::red));
}

QTEST_MAIN(TestAlarmSound)
#include "tst_alarmsound.moc"
