#ifndef REMOTERIG_H
#define REMOTERIG_H

#include "remote/remoteserver.h"
#include "remote/remotesettings.h"
#include "tests/remote/rawhttp.h"
#include "tests/support/supervisionfixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

// A supervisor on the simulated bus with the remote server listening on a
// free loopback port.
class RemoteRig
{
public:
    RemoteRig();
    ~RemoteRig();

    // The fixture's start with these monitors, then the server with these
    // settings (enabled, 127.0.0.1, a free port unless set).
    bool start(const QList<quint8> &addresses, RemoteSettings settings = RemoteSettings());
    QStringList listen(RemoteSettings settings);

    // One request on a connection of its own, made from another thread while
    // this thread's event loop serves it.
    std::optional<RawHttp::Response> call(const QByteArray &bytes,
                                          const QString &address = QStringLiteral("127.0.0.1"));
    std::optional<RawHttp::Response> get(const QByteArray &target, const QByteArray &headers = QByteArray());
    std::optional<RawHttp::Response> post(const QByteArray &target, const QByteArray &body,
                                          const QByteArray &headers = QByteArray());
    // The body of a 200 as a JSON object; empty otherwise.
    QJsonObject getJson(const QByteArray &target);

    // Runs work on a thread of its own and keeps the event loop turning
    // until it is done, calling tick every 10 ms meanwhile if given.
    static void offThread(const std::function<void()> &work, const std::function<void()> &tick = {});
    // Runs a plain event loop until the condition holds (checked every
    // millisecond); false on time-out. Unlike QTest's waits, which sleep
    // between turns, it lets every hop of a message take its real time.
    static bool spinUntil(const std::function<bool()> &condition, int timeoutMs = 5000);
    // A TCP port nobody listens on just now.
    static quint16 freePort();

    SupervisionFixture f;
    std::unique_ptr<RemoteServer> server;
    RemoteSettings settings;
};

#endif // REMOTERIG_H
