// The wall page in a real browser: Debian's chromium, headless, driven by
// wall.test.js through puppeteer-core, against the real controller run as a
// service with its remote server on, on the simulated bus. This side does
// what the script asks for in its line protocol: raises an alarm in the
// simulator, and stops and starts the application on the same port.
// The screenshots stay in the build tree as an artefact.
#include "iconview/positionfile.h"
#include "tests/support/helperprocess.h"
#include "tests/support/sanitizerbuild.h"
#include "tests/support/workdir.h"
#include "tools/sim/simbus.h"

#include <QtTest>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>

namespace {

// Sanitized, the executable starts several times slower.
constexpr int Slow = addressSanitized() || threadSanitized() ? 4 : 1;

const QList<quint8> Monitors = {5, 6, 7, 9};
constexpr quint8 AlarmAddress = 6;

QString executable()
{
    return qEnvironmentVariable("KC_BIN_DIR") + QStringLiteral("/kelvaro-controller");
}

// A TCP port free on the loopback address just now.
quint16 freeTcpPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        qFatal("no free TCP port");
    return probe.serverPort();
}

class Controller
{
public:
    explicit Controller(const QString &dir) : dir(dir) {}

    bool start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "PULSE_SERVER"})
            env.remove(QLatin1String(name));
        process = std::make_unique<HelperProcess>();
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->setWorkingDirectory(dir);
        process->start(executable(), {QStringLiteral("--headless")});
        return process->waitForStarted(10000);
    }

    // Orderly, as a service manager stops it.
    bool stop()
    {
        if (!process || process->state() != QProcess::Running)
            return false;
        ::kill(pid_t(process->processId()), SIGTERM);
        const bool ended = process->waitForFinished(20000 * Slow) && process->exitCode() == 0;
        process.reset();
        return ended;
    }

    bool running() const { return process && process->state() == QProcess::Running; }

private:
    QString dir;
    std::unique_ptr<HelperProcess> process;
};

// How many searches the logs in dir report ended. The page may show the
// tiles while a search still probes the empty addresses, but alarms are
// only polled for after it.
int searchesEnded(const QString &dir)
{
    int ended = 0;
    for (const QFileInfo &log : QDir(dir).entryInfoList({QStringLiteral("mc_*.log")}, QDir::Files)) {
        QFile file(log.filePath());
        if (file.open(QIODevice::ReadOnly))
            ended += int(file.readAll().count("[SEARCH]: END"));
    }
    return ended;
}

bool answersOn(quint16 port, int timeoutMs)
{
    return QTest::qWaitFor([port] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(200);
    }, timeoutMs);
}

} // namespace

class TestWallBrowser : public QObject
{
    Q_OBJECT

private slots:
    void wall();
};

void TestWallBrowser::wall()
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    const QString script = QStringLiteral(KC_WEB_TEST_DIR "/wall.test.js");
    if (node.isEmpty() || !QFileInfo::exists(QStringLiteral(KC_WEB_TEST_DIR "/node_modules/puppeteer-core"))
        || !QFileInfo::exists(QStringLiteral("/usr/bin/chromium")))
        QSKIP("needs Node.js, tests/web/node_modules (devtools/setup.sh) and /usr/bin/chromium");

    SimBus bus;
    QString error;
    QVERIFY2(bus.start(&error), qPrintable(error));
    for (quint8 address : Monitors)
        QVERIFY(bus.addMonitor(address));

    WorkDir dir;
    const quint16 port = freeTcpPort();
    QVERIFY(dir.writeIni(QStringLiteral("[serial]\nport=%1\ntotaltimeout=10\n\n[remote]\nenabled=true\nport=%2\n")
                             .arg(bus.devicePath())
                             .arg(port)
                             .toUtf8()));
    // A saved icon layout, which the page follows: a diagonal, not the grid.
    {
        PositionFile::Map positions;
        for (int i = 0; i < Monitors.size(); ++i)
            positions.insert(Monitors.at(i), QPoint(20 + 90 * i, 10 + 90 * i));
        QFile file(dir.filePath(QStringLiteral("poslist.pon")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        PositionFile::write(&file, positions);
    }

    Controller app(dir.path());
    QVERIFY(app.start());
    QVERIFY(answersOn(port, 20000 * Slow));
    QVERIFY(QTest::qWaitFor([&] { return searchesEnded(dir.path()) == 1; }, 60000 * Slow));

    const QString artefacts = QStringLiteral(KC_WEB_ARTEFACT_DIR);
    QDir().mkpath(artefacts);
    QStringList monitorList;
    for (quint8 address : Monitors)
        monitorList << QString::number(address);

    HelperProcess browser;
    browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    browser.start(node, {script, QStringLiteral("--url"), QStringLiteral("http://127.0.0.1:%1/").arg(port),
                         QStringLiteral("--monitors"), monitorList.join(QLatin1Char(',')),
                         QStringLiteral("--alarm"), QString::number(AlarmAddress),
                         QStringLiteral("--alarm-limit-ms"), QString::number(1000 * Slow),
                         QStringLiteral("--answer-timeout-ms"), QString::number(60000 * Slow),
                         QStringLiteral("--screenshot"), artefacts + QStringLiteral("/wall.png"),
                         QStringLiteral("--phone-screenshot"), artefacts + QStringLiteral("/wall-phone.png")});
    QVERIFY2(browser.waitForStarted(10000), qPrintable(browser.errorString()));

    bool alarmRaised = false;
    bool restarted = false;
    QString verdict;
    QElapsedTimer clock;
    clock.start();
    while (verdict.isEmpty() && clock.elapsed() < 150000 * Slow) {
        if (!browser.canReadLine() && !browser.waitForReadyRead(200)) {
            if (browser.state() != QProcess::Running && !browser.canReadLine())
                break;
            continue;
        }
        while (browser.canReadLine() && verdict.isEmpty()) {
            const QString line = QString::fromUtf8(browser.readLine()).trimmed();
            qInfo("browser: %s", qPrintable(line));
            if (line.startsWith(QLatin1String("ready-for-alarm "))) {
                QCOMPARE(line.mid(16).toInt(), int(AlarmAddress));
                const qint64 at = QDateTime::currentMSecsSinceEpoch();
                QVERIFY(bus.setAlarm(AlarmAddress, 0x08));
                alarmRaised = true;
                browser.write(QStringLiteral("raised %1\n").arg(at).toUtf8());
            } else if (line == QLatin1String("ready-for-restart")) {
                QVERIFY(app.stop());
                QVERIFY(app.start());
                QVERIFY(answersOn(port, 20000 * Slow));
                QVERIFY(QTest::qWaitFor([&] { return searchesEnded(dir.path()) == 2; }, 60000 * Slow));
                restarted = true;
                browser.write("restarted\n");
            } else if (line == QLatin1String("pass") || line.startsWith(QLatin1String("fail"))) {
                verdict = line;
            }
        }
    }
    QVERIFY2(browser.waitForFinished(20000), "the browser script did not end");
    QCOMPARE(verdict, QStringLiteral("pass"));
    QCOMPARE(browser.exitCode(), 0);
    QVERIFY(alarmRaised);
    QVERIFY(restarted);
    QVERIFY(QFileInfo(artefacts + QStringLiteral("/wall.png")).size() > 1000);
    QVERIFY(app.running());
    QVERIFY(app.stop());
}

QTEST_GUILESS_MAIN(TestWallBrowser)
#include "tst_wallbrowser.moc"
