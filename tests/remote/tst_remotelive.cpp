// The live wall's WebSocket from the outside: real WebSocket clients on the
// loopback interface, changes made on the simulated bus, and the time from
// the supervisor's announcement to the client.
#include "remote/livehub.h"
#include "tests/remote/remoterig.h"
#include "tests/support/sanitizerbuild.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QWebSocket>
#include <QtTest>

#include <memory>

namespace {

// The push's bound; AddressSanitizer slows every hop in this one thread
// (server and clients alike) a few times over.
constexpr qint64 PushBoundNs = (addressSanitized() ? 150 : 50) * 1000000LL;

const QByteArray Handshake = "GET /api/live%1 HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                             "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                             "Sec-WebSocket-Version: 13\r\n\r\n";

// A wall client: every message received, parsed, with its arrival time.
struct Client
{
    QWebSocket socket;
    QList<QJsonObject> messages;
    QList<qint64> arrivedNs;
    const QElapsedTimer *clock = nullptr;
    bool failed = false;

    Client(const QElapsedTimer *c, const QUrl &url) : clock(c)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [this](const QString &text) {
            arrivedNs << clock->nsecsElapsed();
            messages << QJsonDocument::fromJson(text.toUtf8()).object();
        });
        QObject::connect(&socket, &QWebSocket::disconnected, &socket, [this] { failed = true; });
        socket.open(url);
    }
    bool hasHello() const { return !messages.isEmpty() && messages.first().value("type") == QLatin1String("hello"); }
    // When the first message matching arrived, in ns of the clock; -1 if none.
    qint64 firstArrival(const std::function<bool(const QJsonObject &)> &match) const
    {
        for (int i = 0; i < messages.size(); ++i)
            if (match(messages.at(i)))
                return arrivedNs.at(i);
        return -1;
    }
};

QUrl liveUrl(quint16 port, const QString &query = QString())
{
    return QUrl(QStringLiteral("ws://127.0.0.1:%1/api/live%2").arg(port).arg(query));
}

bool showsMute(const QJsonObject &message, int address)
{
    return message.value("type") == QLatin1String("monitor")
        && message.value("monitor").toObject().value("address").toInt() == address
        && message.value("monitor").toObject().value("alarms").toArray().contains(QStringLiteral("AUDIO MUTE"));
}

} // namespace

class TestRemoteLive : public QObject
{
    Q_OBJECT

private slots:
    void hello();
    void tokenInAddress();
    void alarmReachesHundredClients();
    void statusAndRemoval();
    void clientThatNeverReadsIsDropped();
};

void TestRemoteLive::hello()
{
    RemoteRig rig;
    QVERIFY(rig.start({3, 5}));
    QElapsedTimer clock;
    clock.start();
    Client client(&clock, liveUrl(quint16(rig.settings.port)));
    QTRY_VERIFY(client.hasHello());
    const QJsonObject hello = client.messages.first();
    QCOMPARE(hello.value("status").toObject().value("monitors").toInt(), 2);
    QCOMPARE(hello.value("status").toObject().value("version").toString(), QStringLiteral("0.7.5"));
    const QJsonArray monitors = hello.value("monitors").toArray();
    QCOMPARE(monitors.size(), 2);
    QCOMPARE(monitors.at(1).toObject().value("serial").toString(), QStringLiteral("KV0005"));
    const QJsonArray events = hello.value("events").toArray();
    QCOMPARE(events.size(), rig.f.logMessages().size() - 1); // fewer than 50, all but the opening line
    QCOMPARE(events.last().toObject().value("id").toInt(), hello.value("status").toObject().value("lastEvent").toInt());

    // Only the newest 50 events in a hello.
    for (int i = 0; i < 60; ++i)
        rig.f.controller->logMsg(QStringLiteral("[REMOTE]: LINE %1").arg(i));
    Client later(&clock, liveUrl(quint16(rig.settings.port)));
    QTRY_VERIFY(later.hasHello());
    const QJsonArray newest = later.messages.first().value("events").toArray();
    QCOMPARE(newest.size(), 50);
    QVERIFY(newest.last().toObject().value("line").toString().endsWith(QStringLiteral("[REMOTE]: LINE 59")));

    // The first client heard them as they came, numbered.
    QTRY_VERIFY(client.messages.size() > 60);
    QList<int> ids;
    for (const QJsonObject &m : std::as_const(client.messages))
        if (m.value("type") == QLatin1String("event"))
            ids << m.value("id").toInt();
    QCOMPARE(ids.size(), 60);
    for (int i = 1; i < ids.size(); ++i)
        QCOMPARE(ids.at(i), ids.at(i - 1) + 1);

    // A plain GET of the path is no WebSocket.
    const std::optional<RawHttp::Response> r = rig.get("/api/live");
    QVERIFY(r);
    QCOMPARE(r->status, 400);
    QCOMPARE(r->body, QByteArray("{\"error\":\"This path takes WebSocket connections only\"}"));
}

void TestRemoteLive::tokenInAddress()
{
    RemoteRig rig;
    RemoteSettings s;
    s.token = QStringLiteral("wall-token");
    s.openread = false;
    QVERIFY(rig.start({5}, s));
    const quint16 port = quint16(rig.settings.port);
    std::optional<RawHttp::Response> r = rig.call(QByteArray(Handshake).replace("%1", ""));
    QVERIFY(r);
    QCOMPARE(r->status, 401);
    QCOMPARE(r->body, QByteArray("{\"error\":\"A token is needed\"}"));
    r = rig.call(QByteArray(Handshake).replace("%1", "?token=nope"));
    QVERIFY(r);
    QCOMPARE(r->status, 403);
    QCOMPARE(r->body, QByteArray("{\"error\":\"Wrong token\"}"));

    QElapsedTimer clock;
    clock.start();
    Client refused(&clock, liveUrl(port, QStringLiteral("?token=nope")));
    Client admitted(&clock, liveUrl(port, QStringLiteral("?token=wall-token")));
    QTRY_VERIFY(admitted.hasHello());
    QTRY_VERIFY(refused.failed);
    QVERIFY(refused.messages.isEmpty());
}

void TestRemoteLive::alarmReachesHundredClients()
{
    RemoteRig rig;
    QVERIFY(rig.start({3, 5}));
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 100; ++i)
        clients.push_back(std::make_unique<Client>(&clock, liveUrl(quint16(rig.settings.port))));
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(clients.begin(), clients.end(), [](const auto &c) { return c->hasHello(); }),
                             10000);

    for (int round = 0; round < 3; ++round) {
        // When the supervisor announces the alarm.
        qint64 announcedNs = -1;
        const quint8 address = round % 2 ? 3 : 5;
        const QMetaObject::Connection watch = connect(
            rig.f.controller.get(), &MController::monitorChanged, this, [&](const CMonitor &m) {
                if (announcedNs < 0 && m.address == address && (m.alarm & 0x08))
                    announcedNs = clock.nsecsElapsed();
            });
        for (auto &c : clients) {
            c->messages.clear();
            c->arrivedNs.clear();
        }
        QVERIFY(rig.f.bus.setAlarm(address, 0x08));
        QVERIFY(RemoteRig::spinUntil([&] {
            return std::all_of(clients.begin(), clients.end(), [&](const auto &c) {
                return c->firstArrival([&](const QJsonObject &m) { return showsMute(m, address); }) >= 0;
            });
        }));
        disconnect(watch);
        QVERIFY(announcedNs > 0);
        qint64 slowest = 0;
        for (const auto &c : clients)
            slowest = std::max(slowest, c->firstArrival([&](const QJsonObject &m) { return showsMute(m, address); })
                                            - announcedNs);
        qInfo("round %d: the alarm of monitor %d reached all 100 clients %.1f ms after the supervisor announced it",
              round + 1, address, slowest / 1e6);
        QVERIFY2(slowest < PushBoundNs, qPrintable(QString::number(slowest / 1e6)));
        QVERIFY(rig.f.bus.setAlarm(address, 0));
        QTRY_VERIFY(std::all_of(clients.begin(), clients.end(), [&](const auto &c) {
            return c->firstArrival([&](const QJsonObject &m) {
                return m.value("type") == QLatin1String("monitor")
                    && m.value("monitor").toObject().value("address").toInt() == address
                    && m.value("monitor").toObject().value("alarms").toArray().isEmpty();
            }) >= 0;
        }));
    }
}

void TestRemoteLive::statusAndRemoval()
{
    RemoteRig rig;
    RemoteSettings s;
    s.token = QStringLiteral("t");
    s.control = true;
    QVERIFY(rig.start({3, 5}, s));
    QElapsedTimer clock;
    clock.start();
    Client client(&clock, liveUrl(quint16(rig.settings.port)));
    QTRY_VERIFY(client.hasHello());
    QVERIFY(rig.f.bus.setAlarm(5, 0x08));
    QTRY_VERIFY(client.firstArrival([](const QJsonObject &m) {
        return m.value("type") == QLatin1String("status") && m.value("status").toObject().value("alarming").toInt() == 1;
    }) >= 0);
    const std::optional<RawHttp::Response> r = rig.post("/api/acknowledge", QByteArray(), "Authorization: Bearer t\r\n");
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QTRY_VERIFY(client.firstArrival([](const QJsonObject &m) {
        return m.value("type") == QLatin1String("status")
            && m.value("status").toObject().value("acknowledged").toInt() == 1;
    }) >= 0);
    QTRY_VERIFY(client.firstArrival([](const QJsonObject &m) {
        return m.value("type") == QLatin1String("monitor") && m.value("monitor").toObject().value("acknowledged").toBool();
    }) >= 0);

    // A removal from the list, as the operator's.
    CMonitor *three = nullptr;
    for (int i = 0; i < rig.f.controller->monitorCount(); ++i)
        if (rig.f.controller->monitorAt(i)->address == 3)
            three = rig.f.controller->monitorAt(i);
    QVERIFY(three);
    QVERIFY(rig.f.controller->removeMonitor(three));
    QTRY_VERIFY(client.firstArrival([](const QJsonObject &m) {
        return m.value("type") == QLatin1String("removed") && m.value("address").toInt() == 3;
    }) >= 0);
}

void TestRemoteLive::clientThatNeverReadsIsDropped()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}));
    const quint16 port = quint16(rig.settings.port);
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<Client>> readers;
    for (int i = 0; i < 5; ++i)
        readers.push_back(std::make_unique<Client>(&clock, liveUrl(port)));
    QTRY_VERIFY(std::all_of(readers.begin(), readers.end(), [](const auto &c) { return c->hasHello(); }));

    // The handshake by hand, with a small receive buffer, and never a read.
    RawHttp stuck;
    QVERIFY(stuck.connectTo(QStringLiteral("127.0.0.1"), port, 4096));
    QVERIFY(stuck.send(QByteArray(Handshake).replace("%1", "")));
    LiveHub *hub = rig.server->findChild<LiveHub *>();
    QVERIFY(hub);
    QTRY_COMPARE(hub->clientCount(), 6);

    // Events, a few hundred at a time, until the stuck client has been
    // dropped and well beyond.
    const QString filler(160, QLatin1Char('.'));
    int logged = 0;
    QElapsedTimer flood;
    flood.start();
    int droppedAt = -1;
    while (flood.elapsed() < 20000 && (droppedAt < 0 || logged < droppedAt + 600)) {
        for (int i = 0; i < 300; ++i)
            rig.f.controller->logMsg(QStringLiteral("[REMOTE]: %1 %2").arg(logged++).arg(filler));
        QTest::qWait(10);
        if (droppedAt < 0 && hub->clientCount() == 5)
            droppedAt = logged;
    }
    QVERIFY2(droppedAt > 0, qPrintable(QStringLiteral("the client that never reads is still served after %1 events").arg(logged)));
    qInfo("the client that never reads was dropped after %d events of about 200 bytes", droppedAt);

    // The others got everything, and once they have read it (they share
    // this thread), a last line reaches them as quickly as ever.
    const auto remoteEvents = [](const Client &c) {
        int events = 0;
        for (const QJsonObject &m : c.messages)
            events += m.value("type") == QLatin1String("event")
                && m.value("line").toString().contains(QLatin1String("[REMOTE]: ")) ? 1 : 0;
        return events;
    };
    QTRY_VERIFY(std::all_of(readers.begin(), readers.end(), [&](const auto &c) { return remoteEvents(*c) == logged; }));
    for (auto &c : readers) {
        c->messages.clear();
        c->arrivedNs.clear();
    }
    // Timed from the supervisor's announcement: the log file's own write
    // (on disk before it returns) is no part of the push.
    qint64 lastNs = -1;
    connect(rig.f.controller.get(), &MController::eventLogged, this, [&](const QString &line) {
        if (line.endsWith(QStringLiteral("[REMOTE]: LAST")))
            lastNs = clock.nsecsElapsed();
    });
    rig.f.controller->logMsg(QStringLiteral("[REMOTE]: LAST"));
    QVERIFY(lastNs > 0);
    const auto isLast = [](const QJsonObject &m) {
        return m.value("type") == QLatin1String("event") && m.value("line").toString().endsWith(QStringLiteral("[REMOTE]: LAST"));
    };
    QVERIFY(RemoteRig::spinUntil([&] {
        return std::all_of(readers.begin(), readers.end(), [&](const auto &c) { return c->firstArrival(isLast) >= 0; });
    }));
    qint64 slowest = 0;
    for (const auto &c : readers) {
        slowest = std::max(slowest, c->firstArrival(isLast) - lastNs);
        QCOMPARE(remoteEvents(*c), 1);
    }
    qInfo("the last line reached the 5 reading clients %.1f ms after the supervisor announced it", slowest / 1e6);
    QVERIFY2(slowest < PushBoundNs, qPrintable(QString::number(slowest / 1e6)));
    bool closed = false;
    RemoteRig::offThread([&] { closed = stuck.waitForClose(5000); });
    QVERIFY(closed);
}

QTEST_GUILESS_MAIN(TestRemoteLive)
#include "tst_remotelive.moc"
