#include "tests/remote/remoterig.h"

#include <QEventLoop>
#include <QTcpServer>
#include <QTimer>

#include <atomic>

RemoteRig::RemoteRig() = default;

RemoteRig::~RemoteRig()
{
    server.reset();
}

bool RemoteRig::start(const QList<quint8> &addresses, RemoteSettings s)
{
    // As the fixture's start, with the server there from the first line
    // logged, as the application has it.
    for (quint8 address : addresses)
        if (!f.bus.addMonitor(SupervisionFixture::monitorState(address)))
            return false;
    f.writeSettings();
    f.createController();
    server = std::make_unique<RemoteServer>(f.controller.get());
    const QStringList failures = listen(s);
    if (!failures.isEmpty()) {
        qWarning() << failures;
        return false;
    }
    if (addresses.isEmpty())
        return true;
    if (!f.searchUpTo(*std::max_element(addresses.begin(), addresses.end())))
        return false;
    return QTest::qWaitFor([this] {
        for (int i = 0; i < f.controller->monitorCount(); ++i)
            if (f.controller->monitorAt(i)->pendingQueries || f.controller->monitorAt(i)->serialNumber.isEmpty())
                return false;
        return true;
    }, 5000);
}

QStringList RemoteRig::listen(RemoteSettings s)
{
    s.enabled = true;
    QStringList failures;
    // Another program may take the port between the look and the bind.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (s.port == RemoteSettings::DefaultPort)
            s.port = freePort();
        failures = server->start(s);
        if (failures.isEmpty()) {
            settings = s;
            return failures;
        }
    }
    return failures;
}

void RemoteRig::offThread(const std::function<void()> &work, const std::function<void()> &tick)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    // A plain event loop, as the application runs one: QTest's waits sleep
    // between turns and would hide a held-up loop.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (tick)
            tick();
        if (done)
            loop.quit();
    });
    poll.start(tick ? 10 : 1);
    loop.exec();
    worker.join();
}

bool RemoteRig::spinUntil(const std::function<bool()> &condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    bool held = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition()) {
            held = true;
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(1);
    loop.exec();
    return held;
}

quint16 RemoteRig::freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

std::optional<RawHttp::Response> RemoteRig::call(const QByteArray &bytes, const QString &address)
{
    std::optional<RawHttp::Response> response;
    const quint16 port = quint16(settings.port);
    offThread([&] { response = RawHttp::exchange(port, bytes, address); });
    return response;
}

std::optional<RawHttp::Response> RemoteRig::get(const QByteArray &target, const QByteArray &headers)
{
    return call(RawHttp::request("GET", target, QByteArray(), headers));
}

std::optional<RawHttp::Response> RemoteRig::post(const QByteArray &target, const QByteArray &body,
                                                 const QByteArray &headers)
{
    return call(RawHttp::request("POST", target, body, headers));
}

QJsonObject RemoteRig::getJson(const QByteArray &target)
{
    const std::optional<RawHttp::Response> r = get(target);
    if (!r || r->status != 200)
        return {};
    return QJsonDocument::fromJson(r->body).object();
}
