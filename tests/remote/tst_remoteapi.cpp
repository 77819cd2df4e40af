// The HTTP API from the outside: requests over real loopback sockets, the
// supervisor on the simulated bus, and what reaches the bus.
#include "metrics/metricscollector.h"
#include "protocol/controlkeys.h"
#include "tests/remote/remoterig.h"
#include "tests/support/umdframes.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

namespace {

QByteArray errorBody(const char *text)
{
    return QByteArray("{\"error\":\"") + text + "\"}";
}

// Control frames on the bus since the trace was cleared: "<address>:<key>".
QStringList controlFrames(const SimBus &bus)
{
    QStringList frames;
    for (const SimTraceEntry &e : bus.trace()) {
        if (e.kind == SimTraceEntry::Request && e.bytes.size() == 4 && quint8(e.bytes.at(1)) == 0xD0)
            frames << QStringLiteral("%1:%2").arg(e.address).arg(quint8(e.bytes.at(3)), 2, 16, QLatin1Char('0'));
    }
    return frames;
}

RemoteSettings withToken(bool control, bool openread)
{
    RemoteSettings s;
    s.token = QStringLiteral("s3cret-token");
    s.control = control;
    s.openread = openread;
    return s;
}

const QByteArray Bearer = "Authorization: Bearer s3cret-token\r\n";

} // namespace

class TestRemoteApi : public QObject
{
    Q_OBJECT

private slots:
    void statusAndMonitors();
    void monitorPaths();
    void errorsOfTheProtocol();
    void events();
    void readingToken();
    void controlToken();
    void refusesToStart();
    void defaultBindIsLoopbackOnly();
    void keyPressReachesBus();
    void badControlBodies();
    void umdReachesBus();
    void powerToTwoMonitors();
    void acknowledgeShowsInStatus();
    void metricsAndStaticFiles();
    void positionsFromLayoutFile();
};

void TestRemoteApi::statusAndMonitors()
{
    RemoteRig rig;
    QVERIFY(rig.start({3, 5}));
    const std::optional<RawHttp::Response> r = rig.get("/api/status");
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QCOMPARE(r->header("content-type"), QByteArray("application/json"));
    const QJsonObject status = QJsonDocument::fromJson(r->body).object();
    QCOMPARE(status.value("version").toString(), QStringLiteral("0.7.5"));
    QCOMPARE(status.value("port").toString(), rig.f.bus.devicePath());
    QCOMPARE(status.value("link").toString(), QStringLiteral("ok"));
    QVERIFY(status.value("linkSince").isNull());
    QCOMPARE(status.value("searching").toBool(true), false);
    QCOMPARE(status.value("monitors").toInt(), 2);
    QCOMPARE(status.value("alarming").toInt(-1), 0);
    QCOMPARE(status.value("acknowledged").toInt(-1), 0);
    QCOMPARE(status.value("zombies").toInt(-1), 0);
    // Every line since start but the log file's opening line, which the
    // supervisor writes while it is being made.
    QCOMPARE(status.value("lastEvent").toInt(), rig.f.logMessages().size() - 1);

    const QJsonArray list = rig.getJson("/api/monitors").value("monitors").toArray();
    QCOMPARE(list.size(), 2);
    const QJsonObject m3 = list.at(0).toObject();
    QCOMPARE(m3.value("address").toInt(), 3);
    QCOMPARE(list.at(1).toObject().value("address").toInt(), 5);
    QCOMPARE(m3.value("serial").toString(), QStringLiteral("KV0003"));
    QCOMPARE(m3.value("status").toString(), QStringLiteral("NORMAL"));
    QCOMPARE(m3.value("colour").toString(), QStringLiteral("#00ff00"));
    QCOMPARE(m3.value("alarms").toArray().size(), 0);
    QCOMPARE(m3.value("alarming").toBool(true), false);
    QCOMPARE(m3.value("acknowledged").toBool(true), false);
    QCOMPARE(m3.value("zombie").toBool(true), false);
    QVERIFY(m3.value("umd").isNull());
    QVERIFY(m3.value("position").isNull());
    QCOMPARE(m3.value("power").toBool(), true);
    QCOMPARE(m3.value("firmware").toString(), QStringLiteral("V2.1"));
    QVERIFY(m3.contains("input") && m3.contains("mode") && m3.contains("timeCode"));
    QCOMPARE(m3.value("rotary").toObject().keys().size(), 5);
    QVERIFY(m3.value("functions").isArray());
    // The simulator's board bytes 12 05 30 11 ...: FPGA code first.
    QCOMPARE(m3.value("boards").toObject().value("fpgaCode").toString(), CMonitor::versionText(0x12, 0x05));
    const QJsonObject health = m3.value("health").toObject();
    QVERIFY(QDateTime::fromString(health.value("lastReply").toString(), Qt::ISODateWithMs).isValid());
    QVERIFY(health.value("medianMs").toDouble() >= 0);
    QVERIFY(health.value("worstMs").toDouble() >= health.value("medianMs").toDouble());
    QCOMPARE(health.value("failures").toInt(-1), 0);
    QCOMPARE(health.value("zombieEpisodes").toInt(-1), 0);
    QCOMPARE(health.value("zombieSeconds").toInt(-1), 0);
}

void TestRemoteApi::monitorPaths()
{
    RemoteRig rig;
    QVERIFY(rig.start({3, 5}));
    QCOMPARE(rig.getJson("/api/monitors/5").value("serial").toString(), QStringLiteral("KV0005"));
    QCOMPARE(rig.getJson("/api/monitors/005").value("address").toInt(), 5);
    std::optional<RawHttp::Response> r = rig.get("/api/monitors/7");
    QVERIFY(r);
    QCOMPARE(r->status, 404);
    QCOMPARE(r->body, errorBody("No monitor at address 7"));
    for (const QByteArray &path : {QByteArray("/api/monitors/0"), QByteArray("/api/monitors/127"),
                                   QByteArray("/api/monitors/x"), QByteArray("/api/monitors/-1"),
                                   QByteArray("/api/monitors/5/nothing"), QByteArray("/api/nothing")}) {
        r = rig.get(path);
        QVERIFY(r);
        QCOMPARE(r->status, 404);
        QCOMPARE(r->header("content-type"), QByteArray("application/json"));
        QCOMPARE(r->body, errorBody("Unknown path"));
    }
}

void TestRemoteApi::errorsOfTheProtocol()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}));
    std::optional<RawHttp::Response> r = rig.post("/api/status", "{}");
    QVERIFY(r);
    QCOMPARE(r->status, 405);
    QCOMPARE(r->header("allow"), QByteArray("GET"));
    QCOMPARE(r->body, errorBody("Method not allowed; use GET"));
    r = rig.get("/api/search");
    QVERIFY(r);
    QCOMPARE(r->status, 405);
    QCOMPARE(r->header("allow"), QByteArray("POST"));
    r = rig.call("DELETE /api/monitors/5 HTTP/1.1\r\nHost: x\r\n\r\n");
    QVERIFY(r);
    QCOMPARE(r->status, 405);

    r = rig.call("POST /api/acknowledge HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n");
    QVERIFY(r);
    QCOMPARE(r->status, 411);
    QCOMPARE(r->body, errorBody("Chunked bodies are not accepted: send a Content-Length"));

    for (const QByteArray &bad : {QByteArray("GARBAGE\r\n\r\n"), QByteArray("GET /api/status HTTP/2.0\r\n\r\n"),
                                  QByteArray("GET api/status HTTP/1.1\r\n\r\n"),
                                  QByteArray("GET /api/status HTTP/1.1\r\nNo colon here\r\n\r\n"),
                                  QByteArray("POST /api/power HTTP/1.1\r\nContent-Length: 12x\r\n\r\n"),
                                  QByteArray("POST /api/power HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\n{}")}) {
        r = rig.call(bad);
        QVERIFY2(r, bad.constData());
        QCOMPARE(r->status, 400);
        QCOMPARE(r->body, errorBody("Malformed request"));
    }

    r = rig.call("GET /api/status HTTP/1.1\r\nX-Long: " + QByteArray(9000, 'a') + "\r\n\r\n");
    QVERIFY(r);
    QCOMPARE(r->status, 431);
    QCOMPARE(r->body, errorBody("Request head over 8192 bytes"));

    r = rig.call(RawHttp::request("POST", "/api/power", QByteArray(16385, ' ')));
    QVERIFY(r);
    QCOMPARE(r->status, 413);
    QCOMPARE(r->body, errorBody("Request body over 16384 bytes"));

    // Three requests in one go come back as three answers in order.
    std::optional<RawHttp::Response> a, b, c;
    const quint16 port = quint16(rig.settings.port);
    RemoteRig::offThread([&] {
        RawHttp client;
        if (!client.connectTo(QStringLiteral("127.0.0.1"), port))
            return;
        client.send(RawHttp::request("GET", "/api/monitors/5") + RawHttp::request("GET", "/api/nothing")
                    + RawHttp::request("GET", "/api/status"));
        a = client.read();
        b = client.read();
        c = client.read();
    });
    QVERIFY(a && b && c);
    QCOMPARE(a->status, 200);
    QCOMPARE(b->status, 404);
    QCOMPARE(c->status, 200);
    QVERIFY(c->body.contains("\"lastEvent\""));
}

void TestRemoteApi::events()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}));
    QJsonObject all = rig.getJson("/api/events");
    const QJsonArray events = all.value("events").toArray();
    const QStringList messages = rig.f.logMessages().mid(1); // not the opening line
    QCOMPARE(events.size(), messages.size());
    QCOMPARE(all.value("last").toInt(), messages.size());
    for (int i = 0; i < events.size(); ++i) {
        QCOMPARE(events.at(i).toObject().value("id").toInt(), i + 1);
        QVERIFY(events.at(i).toObject().value("line").toString().endsWith(messages.at(i)));
    }

    const int last = all.value("last").toInt();
    rig.f.controller->logMsg(QStringLiteral("[REMOTE]: FIRST"));
    rig.f.controller->logMsg(QStringLiteral("[REMOTE]: SECOND"));
    const QJsonObject since = rig.getJson("/api/events?since=" + QByteArray::number(last));
    const QJsonArray fresh = since.value("events").toArray();
    QCOMPARE(fresh.size(), 2);
    QCOMPARE(fresh.at(0).toObject().value("id").toInt(), last + 1);
    QVERIFY(fresh.at(0).toObject().value("line").toString().endsWith(QStringLiteral("[REMOTE]: FIRST")));
    QCOMPARE(fresh.at(1).toObject().value("id").toInt(), last + 2);
    QCOMPARE(since.value("last").toInt(), last + 2);
    QCOMPARE(rig.getJson("/api/events?since=" + QByteArray::number(last + 2)).value("events").toArray().size(), 0);
    QCOMPARE(rig.getJson("/api/events?since=0").value("events").toArray().size(), last + 2);

    for (const QByteArray &bad : {QByteArray("-1"), QByteArray("abc"), QByteArray("1.5"), QByteArray(""),
                                  QByteArray("99999999999999999999")}) {
        const std::optional<RawHttp::Response> r = rig.get("/api/events?since=" + bad);
        QVERIFY(r);
        QCOMPARE(r->status, 400);
        QCOMPARE(r->body, errorBody("since must be a non-negative integer"));
    }

    // Only the newest 10,000 are kept, the ids go on.
    for (int i = 0; i < 10100; ++i)
        rig.f.controller->logMsg(QStringLiteral("[REMOTE]: LINE %1").arg(i));
    all = rig.getJson("/api/events");
    QCOMPARE(all.value("events").toArray().size(), 10000);
    QCOMPARE(all.value("last").toInt(), last + 2 + 10100);
    QCOMPARE(all.value("events").toArray().at(0).toObject().value("id").toInt(), last + 2 + 10100 - 9999);
}

void TestRemoteApi::readingToken()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}, withToken(false, false)));
    std::optional<RawHttp::Response> r = rig.get("/api/status");
    QVERIFY(r);
    QCOMPARE(r->status, 401);
    QCOMPARE(r->body, errorBody("A token is needed"));
    r = rig.get("/api/monitors", "Authorization: Bearer wrong\r\n");
    QVERIFY(r);
    QCOMPARE(r->status, 403);
    QCOMPARE(r->body, errorBody("Wrong token"));
    r = rig.get("/api/monitors?token=wrong");
    QVERIFY(r);
    QCOMPARE(r->status, 403);
    r = rig.get("/api/monitors", Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    r = rig.get("/api/monitors/5?token=s3cret-token");
    QVERIFY(r);
    QCOMPARE(r->status, 200);

    // Open reading: no token asked, control still off.
    QVERIFY(rig.listen(withToken(false, true)).isEmpty());
    r = rig.get("/api/status");
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    r = rig.post("/api/acknowledge", QByteArray(), Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 403);
    QCOMPARE(r->body, errorBody("Control is switched off"));
}

void TestRemoteApi::controlToken()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}, withToken(true, true)));
    std::optional<RawHttp::Response> r = rig.post("/api/acknowledge", QByteArray());
    QVERIFY(r);
    QCOMPARE(r->status, 401);
    QCOMPARE(r->header("www-authenticate"), QByteArray("Bearer"));
    r = rig.post("/api/acknowledge", QByteArray(), "Authorization: Bearer s3cret-tokeN\r\n");
    QVERIFY(r);
    QCOMPARE(r->status, 403);
    QCOMPARE(r->body, errorBody("Wrong token"));
    // A token in the address is for pages and WebSockets, not for control.
    r = rig.post("/api/acknowledge?token=s3cret-token", QByteArray());
    QVERIFY(r);
    QCOMPARE(r->status, 401);
    r = rig.post("/api/acknowledge", QByteArray(), Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QCOMPARE(r->body, QByteArray("{\"acknowledged\":0}"));
}

void TestRemoteApi::refusesToStart()
{
    RemoteRig rig;
    QVERIFY(rig.start({}));
    RemoteSettings s;
    s.enabled = true;
    s.port = RemoteRig::freePort();
    s.control = true;
    QStringList failures = rig.server->start(s);
    QCOMPARE(failures, QStringList{QStringLiteral("Control needs a token: set one or switch control off.")});
    QVERIFY(!rig.server->isOn());
    QVERIFY(!RawHttp().connectTo(QStringLiteral("127.0.0.1"), quint16(s.port)));

    s = RemoteSettings();
    s.port = 0;
    QCOMPARE(rig.server->start(s), QStringList{QStringLiteral("The port must be a number from 1 to 65535.")});
    s.port = 70000;
    QCOMPARE(rig.server->start(s), QStringList{QStringLiteral("The port must be a number from 1 to 65535.")});
    s.port = RemoteRig::freePort();
    s.bind = QStringLiteral("localhost.example");
    QCOMPARE(rig.server->start(s),
             QStringList{QStringLiteral("The bind address \"localhost.example\" is no IP address.")});

    // A port in use.
    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::LocalHost, 0));
    s = RemoteSettings();
    s.port = other.serverPort();
    failures = rig.server->start(s);
    QCOMPARE(failures, QStringList{QStringLiteral("Port %1 on 127.0.0.1 is in use by another program.").arg(s.port)});
    QVERIFY(!rig.server->isOn());

    // From the settings file: bad values named.
    QVERIFY(rig.f.dir.writeIni(rig.f.dir.readIni()
                               + "\n[remote]\nenabled=yes\nport=eighty\nbind=one.two\ncontrol=false\nopenread=0\ntoken=t\n"));
    const RemoteSettings read = RemoteSettings::read();
    QVERIFY(!read.enabled && !read.control && !read.openread);
    failures = read.validate();
    QCOMPARE(failures, (QStringList{QStringLiteral("\"enabled\" must be true or false, not \"yes\"."),
                                    QStringLiteral("The port must be a number from 1 to 65535."),
                                    QStringLiteral("The bind address \"one.two\" is no IP address.")}));
    QVERIFY(!RemoteSettings().enabled);
}

void TestRemoteApi::defaultBindIsLoopbackOnly()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}));
    QCOMPARE(rig.settings.bind, QStringLiteral("127.0.0.1"));
    std::optional<RawHttp::Response> r = rig.get("/api/status");
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    bool refused = false;
    const quint16 port = quint16(rig.settings.port);
    RemoteRig::offThread([&] { refused = !RawHttp().connectTo(QStringLiteral("127.0.0.2"), port); });
    QVERIFY(refused);
}

void TestRemoteApi::keyPressReachesBus()
{
    RemoteRig rig;
    QVERIFY(rig.start({3, 5}, withToken(true, true)));
    rig.f.bus.clearTrace();
    std::optional<RawHttp::Response> r = rig.post("/api/monitors/5/key", "{\"key\":\"MENU\"}", Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QCOMPARE(r->body, QByteArray("{\"ok\":true}"));
    QTRY_COMPARE(controlFrames(rig.f.bus), QStringList{QStringLiteral("5:90")});
    r = rig.post("/api/monitors/3/key", "{\"key\":\"CW3\"}", Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QTRY_COMPARE(controlFrames(rig.f.bus),
                 (QStringList{QStringLiteral("5:90"), QStringLiteral("3:%1").arg(ControlKeys::RotaryCwBase + 2, 2, 16)}));
}

void TestRemoteApi::badControlBodies()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}, withToken(true, true)));
    rig.f.bus.clearTrace();
    const QList<QPair<QByteArray, QByteArray>> cases = {
        {"{\"key\":\"NOPE\"}", errorBody("Unknown key \\\"NOPE\\\"")},
        {"{\"key\":\"menu\"}", errorBody("Unknown key \\\"menu\\\"")},
        {"{\"key\":5}", errorBody("\\\"key\\\" must be a string")},
        {"{\"key\":\"MENU\",\"extra\":1}", errorBody("Unknown member \\\"extra\\\"")},
        {"{\"key\":\"MENU\"", errorBody("The body is no JSON object")},
        {"[\"MENU\"]", errorBody("The body is no JSON object")},
        {"", errorBody("The body is no JSON object")},
    };
    for (const auto &c : cases) {
        const std::optional<RawHttp::Response> r = rig.post("/api/monitors/5/key", c.first, Bearer);
        QVERIFY(r);
        QCOMPARE(r->status, 400);
        QCOMPARE(r->body, c.second);
    }
    std::optional<RawHttp::Response> r = rig.post("/api/monitors/7/key", "{\"key\":\"MENU\"}", Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 404);
    QCOMPARE(r->body, errorBody("No monitor at address 7"));

    const QList<QPair<QByteArray, QByteArray>> umd = {
        {"{\"text\":\"NINE CHAR\"}", errorBody("The UMD text takes at most 8 printable Latin-1 characters")},
        {"{\"text\":\"\\u0100\"}", errorBody("The UMD text takes at most 8 printable Latin-1 characters")},
        {"{\"text\":\"A\\nB\"}", errorBody("The UMD text takes at most 8 printable Latin-1 characters")},
        {"{\"text\":1}", errorBody("\\\"text\\\" must be a string")},
        {"{\"text\":\"A\",\"red\":1}", errorBody("\\\"red\\\" and \\\"green\\\" must be true or false")},
        {"{\"text\":\"A\",\"blue\":true}", errorBody("Unknown member \\\"blue\\\"")},
    };
    for (const auto &c : umd) {
        r = rig.post("/api/monitors/5/umd", c.first, Bearer);
        QVERIFY(r);
        QCOMPARE(r->status, 400);
        QCOMPARE(r->body, c.second);
    }
    const QList<QByteArray> power = {"{\"addresses\":[],\"on\":true}", "{\"addresses\":[0],\"on\":true}",
                                     "{\"addresses\":[5.5],\"on\":true}", "{\"addresses\":\"5\",\"on\":true}",
                                     "{\"addresses\":[5],\"on\":\"yes\"}", "{\"addresses\":[5]}"};
    for (const QByteArray &body : power) {
        r = rig.post("/api/power", body, Bearer);
        QVERIFY(r);
        QCOMPARE(r->status, 400);
    }
    QTest::qWait(100);
    QCOMPARE(controlFrames(rig.f.bus), QStringList());
    QCOMPARE(umdFrames(rig.f.bus), QStringList());
}

void TestRemoteApi::umdReachesBus()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}, withToken(true, true)));
    rig.f.bus.clearTrace();
    std::optional<RawHttp::Response> r =
        rig.post("/api/monitors/5/umd", "{\"text\":\"CAM 1\",\"red\":true,\"green\":false}", Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QCOMPARE(r->body, QByteArray("{\"ok\":true}"));
    QTRY_COMPARE(umdFrames(rig.f.bus, 5), QStringList{QStringLiteral("1 CAM 1   ")});
    QJsonObject umd = rig.getJson("/api/monitors/5").value("umd").toObject();
    QCOMPARE(umd.value("text").toString(), QStringLiteral("CAM 1"));
    QCOMPARE(umd.value("red").toBool(), true);
    QCOMPARE(umd.value("green").toBool(), false);

    // Latin-1 beyond ASCII, both lamps, eight characters.
    r = rig.post("/api/monitors/5/umd", "{\"text\":\"K\\u00e4mera 2\",\"red\":true,\"green\":true}", Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QTRY_COMPARE(umdFrames(rig.f.bus, 5).size(), 2);
    QCOMPARE(umdFrames(rig.f.bus, 5).at(1), QStringLiteral("3 K\u00e4mera 2"));
    umd = rig.getJson("/api/monitors").value("monitors").toArray().at(0).toObject().value("umd").toObject();
    QCOMPARE(umd.value("text").toString(), QStringLiteral("K\u00e4mera 2"));
    QCOMPARE(umd.value("green").toBool(), true);
}

void TestRemoteApi::powerToTwoMonitors()
{
    RemoteRig rig;
    QVERIFY(rig.start({3, 5, 9}, withToken(true, true)));
    rig.f.bus.clearTrace();
    std::optional<RawHttp::Response> r = rig.post("/api/power", "{\"addresses\":[3,7],\"on\":false}", Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 404);
    QCOMPARE(r->body, errorBody("No monitor at address 7"));
    r = rig.post("/api/power", "{\"addresses\":[3,5],\"on\":false}", Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QTRY_VERIFY(!rig.f.bus.monitor(3)->power && !rig.f.bus.monitor(5)->power);
    QVERIFY(rig.f.bus.monitor(9)->power);
    QCOMPARE(controlFrames(rig.f.bus), (QStringList{QStringLiteral("3:fe"), QStringLiteral("5:fe")}));
    // The supervisor sees them off, and so does the API.
    QTRY_COMPARE(rig.getJson("/api/monitors/5").value("status").toString(), QStringLiteral("POWER OFF"));
    QCOMPARE(rig.getJson("/api/monitors/5").value("colour").toString(), QStringLiteral("#a0a0a4"));
    r = rig.post("/api/power", "{\"addresses\":[5],\"on\":true}", Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QTRY_VERIFY(rig.f.bus.monitor(5)->power);
}

void TestRemoteApi::acknowledgeShowsInStatus()
{
    RemoteRig rig;
    QVERIFY(rig.start({3, 5}, withToken(true, true)));
    QVERIFY(rig.f.bus.setAlarm(5, 0x08)); // audio mute
    QTRY_COMPARE(rig.getJson("/api/status").value("alarming").toInt(), 1);
    QJsonObject m5 = rig.getJson("/api/monitors/5");
    QCOMPARE(m5.value("status").toString(), QStringLiteral("ALARM<[AUDIO MUTE]>"));
    QCOMPARE(m5.value("colour").toString(), QStringLiteral("#ff0000"));
    QCOMPARE(m5.value("alarms").toArray(), QJsonArray{QStringLiteral("AUDIO MUTE")});
    QCOMPARE(m5.value("alarming").toBool(), true);
    QCOMPARE(m5.value("acknowledged").toBool(), false);
    QCOMPARE(rig.getJson("/api/status").value("acknowledged").toInt(-1), 0);

    const std::optional<RawHttp::Response> r = rig.post("/api/acknowledge", QByteArray(), Bearer);
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QCOMPARE(r->body, QByteArray("{\"acknowledged\":1}"));
    QCOMPARE(rig.getJson("/api/status").value("acknowledged").toInt(), 1);
    QCOMPARE(rig.getJson("/api/monitors/5").value("acknowledged").toBool(), true);
    QCOMPARE(rig.getJson("/api/monitors").value("monitors").toArray().at(1).toObject().value("acknowledged").toBool(),
             true);
    QCOMPARE(rig.getJson("/api/monitors/3").value("acknowledged").toBool(true), false);
}

void TestRemoteApi::metricsAndStaticFiles()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}));
    std::optional<RawHttp::Response> r = rig.get("/metrics");
    QVERIFY(r);
    QCOMPARE(r->status, 404);
    // The collector the application hands the server, on the same bus.
    MetricsCollector metrics(rig.f.controller.get());
    rig.server->setMetricsSource([&metrics] { return metrics.text(); });
    r = rig.get("/metrics");
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QCOMPARE(r->header("content-type"), QByteArray("text/plain; version=0.0.4; charset=utf-8"));
    QVERIFY2(r->body.contains("\nkc_monitors 1\n"), r->body.constData());
    QVERIFY2(r->body.contains("\nkc_link_up 1\n"), r->body.constData());

    r = rig.get("/");
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QCOMPARE(r->header("content-type"), QByteArray("text/html; charset=utf-8"));
    QVERIFY(r->body.contains("<title>Kelvaro Controller</title>"));
    r = rig.get("/app.js");
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    QCOMPARE(r->header("content-type"), QByteArray("text/javascript; charset=utf-8"));
    for (const QByteArray &path : {QByteArray("/missing.css"), QByteArray("/../web/index.html"),
                                   QByteArray("/%2e%2e/web/app.js")}) {
        r = rig.get(path);
        QVERIFY(r);
        QCOMPARE(r->status, 404);
        QCOMPARE(r->body, errorBody("Unknown path"));
    }
}

void TestRemoteApi::positionsFromLayoutFile()
{
    RemoteRig rig;
    QVERIFY(rig.start({3, 5}));
    QVERIFY(rig.getJson("/api/monitors/5").value("position").isNull());
    // The icon view's layout: count, then address, x, y from the highest down.
    const auto writeLayout = [](int x) {
        QFile file(QStringLiteral("poslist.pon"));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        QDataStream out(&file);
        out << qint32(1) << quint8(5) << qint32(x) << qint32(40);
        return true;
    };
    QVERIFY(writeLayout(120));
    QJsonObject position = rig.getJson("/api/monitors").value("monitors").toArray().at(1).toObject().value("position").toObject();
    QCOMPARE(position.value("x").toInt(), 120);
    QCOMPARE(position.value("y").toInt(), 40);
    QTest::qWait(20); // a time stamp of its own for the next write
    QVERIFY(writeLayout(1200));
    position = rig.getJson("/api/monitors/5").value("position").toObject();
    QCOMPARE(position.value("x").toInt(), 1200);
    QVERIFY(rig.getJson("/api/monitors/3").value("position").isNull());
}

QTEST_GUILESS_MAIN(TestRemoteApi)
#include "tst_remoteapi.moc"
