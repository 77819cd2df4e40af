// The remote API's request rate with 126 monitors on the simulated bus, as
// wrk measures it over loopback: the monitor list (cached JSON) against the
// server's floor, a small error answer, in the same run. The bus runs
// unpaced and keeps polling meanwhile, as it would on a wall.
#include "remote/remoteserver.h"
#include "remote/remotesettings.h"
#include "supervision/mcontroller.h"
#include "tools/sim/simbus.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

constexpr int Monitors = 126;

// wrk's "Requests/sec" for this address, or -1.
double runWrk(const QString &wrk, const QString &url, int seconds, QString *summary)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(wrk, {QStringLiteral("-t2"), QStringLiteral("-c16"), QStringLiteral("-d%1s").arg(seconds), url});
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QString out = QString::fromLocal8Bit(process.readAll());
    *summary = out.trimmed();
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Requests/sec:\\s+([0-9.]+)")).match(out);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString wrk = QStandardPaths::findExecutable(QStringLiteral("wrk"));
    if (wrk.isEmpty()) {
        std::fprintf(stderr, "wrk is not installed (apt install wrk)\n");
        return 1;
    }
    const int seconds = app.arguments().contains(QStringLiteral("--long")) ? 30 : 10;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    SimBus bus;
    for (int address = 1; address <= Monitors; ++address) {
        SimMonitorState state;
        state.address = quint8(address);
        state.power = true;
        state.serialNumber = QStringLiteral("KV%1").arg(address, 4, 10, QLatin1Char('0'));
        state.alarm = address % 10 == 0 ? 0x08 : 0; // a few muted
        state.alarmDue = state.alarm != 0;
        bus.addMonitor(state);
    }
    QString error;
    if (!bus.start(&error))
        qFatal("simulated bus: %s", qPrintable(error));
    QFile ini(QStringLiteral("mc422.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write(QStringLiteral("[serial]\nport=%1\ntotaltimeout=100\n").arg(bus.devicePath()).toUtf8());
    ini.close();

    MController controller;
    RemoteServer server(&controller);
    controller.startSearch();
    const bool readOut = QTest::qWaitFor([&] {
        if (controller.monitorCount() < Monitors)
            return false;
        for (int i = 0; i < Monitors; ++i)
            if (controller.monitorAt(i)->pendingQueries || controller.monitorAt(i)->serialNumber.isEmpty())
                return false;
        return true;
    }, 120000);
    if (!readOut)
        qFatal("the monitors were not read out");

    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    RemoteSettings settings;
    settings.enabled = true;
    settings.port = probe.serverPort();
    probe.close();
    const QStringList failures = server.start(settings);
    if (!failures.isEmpty())
        qFatal("%s", qPrintable(failures.join(QLatin1Char(' '))));

    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(settings.port);
    std::printf("Remote API, %d monitors, wrk -t2 -c16 -d%ds (keep-alive), the server on this process's "
                "event loop\n", Monitors, seconds);
    QString floorText, listText;
    const double floor = runWrk(wrk, base + QStringLiteral("/api/nothing"), seconds, &floorText);
    const double list = runWrk(wrk, base + QStringLiteral("/api/monitors"), seconds, &listText);
    std::printf("%-26s %12s\n", "request", "requests/s");
    std::printf("%-26s %12.0f\n", "GET /api/nothing (404)", floor);
    std::printf("%-26s %12.0f   %.2f of the floor; target 2000\n", "GET /api/monitors", list,
                floor > 0 ? list / floor : 0.0);
    std::printf("\n%s\n", qPrintable(listText));
    return list >= 2000 ? 0 : 2;
}
