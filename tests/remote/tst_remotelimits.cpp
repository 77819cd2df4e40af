// What the HTTP server does with clients that push too much, too slowly or
// too often: it answers them, cuts them off when they pass a limit, and keeps
// serving the others with its memory and event loop unharmed.
#include "tests/remote/remoterig.h"
#include "tests/support/loopgapmeter.h"
#include "tests/support/residentmemory.h"
#include "tests/support/sanitizerbuild.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <poll.h>
#include <thread>

namespace {

constexpr qint64 HugeBytes = 200LL * 1024 * 1024;

// Streams `total` bytes after `head` as fast as the server takes them;
// returns the answers read meanwhile and whether the server cut the
// connection before all was sent.
struct StreamResult {
    QList<int> statuses;
    QByteArray lastBody;
    qint64 sent = 0;
    bool cut = false;
};

StreamResult stream(quint16 port, const QByteArray &head, qint64 total)
{
    StreamResult result;
    RawHttp client;
    if (!client.connectTo(QStringLiteral("127.0.0.1"), port) || !client.send(head))
        return result;
    const QByteArray chunk(64 * 1024, 'x');
    // Answers are read as they come (a refusal of the request before the
    // stray bytes, say); the 413 ends the sending.
    bool over = false;
    while (!over && result.sent < total) {
        pollfd p{client.descriptor(), POLLIN, 0};
        if (::poll(&p, 1, 0) > 0) {
            const std::optional<RawHttp::Response> r = client.read(3000);
            if (!r)
                break;
            result.statuses << r->status;
            result.lastBody = r->body;
            over = r->status == 413;
            continue;
        }
        if (!client.send(chunk)) {
            result.cut = true;
            break;
        }
        result.sent += chunk.size();
    }
    while (!over) {
        const std::optional<RawHttp::Response> r = client.read(3000);
        if (!r)
            break;
        result.statuses << r->status;
        result.lastBody = r->body;
        over = r->status == 413;
    }
    result.cut = result.cut || client.waitForClose(5000);
    return result;
}

} // namespace

class TestRemoteLimits : public QObject
{
    Q_OBJECT

private slots:
    void hugeBodies_data();
    void hugeBodies();
    void slowClientIsCut();
    void flood();
    void connectionCap();
};

void TestRemoteLimits::hugeBodies_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::newRow("declared") << QByteArray("POST /api/power HTTP/1.1\r\nHost: x\r\nContent-Length: "
                                            + QByteArray::number(HugeBytes) + "\r\n\r\n");
    QTest::newRow("undeclared") << QByteArray("POST /api/power HTTP/1.1\r\nHost: x\r\n\r\n");
}

void TestRemoteLimits::hugeBodies()
{
    QFETCH(QByteArray, head);
    RemoteRig rig;
    QVERIFY(rig.start({5}));
    QVERIFY(rig.get("/api/status")); // everything touched once
    const qint64 before = residentKb();
    qint64 most = before;
    StreamResult result;
    const quint16 port = quint16(rig.settings.port);
    // The simulator's trace, the test's own record, is kept empty meanwhile.
    rig.f.bus.clearTrace();
    RemoteRig::offThread([&] { result = stream(port, head, HugeBytes); }, [&] {
        rig.f.bus.clearTrace();
        most = std::max(most, residentKb());
    });
    most = std::max(most, residentKb());
    qInfo("sent %lld bytes before the answer; statuses %s; resident memory %lld kB more at most",
          result.sent, qPrintable(QStringList(QStringList() << [&] {
              QStringList s;
              for (int status : result.statuses)
                  s << QString::number(status);
              return s.join(QLatin1Char(','));
          }()).join(QString())), most - before);
    QVERIFY(!result.statuses.isEmpty());
    QCOMPARE(result.statuses.last(), 413);
    QCOMPARE(result.lastBody, QByteArray("{\"error\":\"Request body over 16384 bytes\"}"));
    QVERIFY(result.cut);
    QVERIFY2(result.sent < 64 * 1024 * 1024, qPrintable(QString::number(result.sent)));
    if (!addressSanitized())
        QVERIFY2(most - before < 20 * 1024, qPrintable(QStringLiteral("%1 kB").arg(most - before)));
    // And the server goes on.
    const std::optional<RawHttp::Response> r = rig.get("/api/status");
    QVERIFY(r);
    QCOMPARE(r->status, 200);
}

void TestRemoteLimits::slowClientIsCut()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}));
    const quint16 port = quint16(rig.settings.port);
    std::atomic<bool> slowDone{false};
    std::optional<RawHttp::Response> slowAnswer;
    double cutAfterS = 0;
    int bytesSent = 0;
    std::thread slow([&] {
        RawHttp client;
        if (client.connectTo(QStringLiteral("127.0.0.1"), port)) {
            const QByteArray request = RawHttp::request("GET", "/api/status");
            const auto start = std::chrono::steady_clock::now();
            for (char c : request) {
                if (!client.send(QByteArray(1, c)))
                    break;
                ++bytesSent;
                pollfd p{client.descriptor(), POLLIN, 0};
                if (::poll(&p, 1, 1000) > 0)
                    break;
            }
            slowAnswer = client.read(2000);
            cutAfterS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            client.waitForClose(2000);
        }
        slowDone = true;
    });
    // Meanwhile another client is served as usual.
    int served = 0;
    qint64 slowest = 0;
    RemoteRig::offThread([&] {
        while (!slowDone) {
            QElapsedTimer t;
            t.start();
            const std::optional<RawHttp::Response> r = RawHttp::exchange(port, RawHttp::request("GET", "/api/monitors"));
            slowest = std::max(slowest, t.elapsed());
            if (r && r->status == 200)
                ++served;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    slow.join();
    qInfo("slow client cut after %.1f s and %d bytes; %d requests of another client served meanwhile, "
          "the slowest in %lld ms", cutAfterS, bytesSent, served, slowest);
    QVERIFY(slowAnswer);
    QCOMPARE(slowAnswer->status, 408);
    QCOMPARE(slowAnswer->body, QByteArray("{\"error\":\"Request not complete within 10 seconds\"}"));
    QVERIFY2(cutAfterS >= 10 && cutAfterS < 12, qPrintable(QString::number(cutAfterS)));
    QVERIFY(bytesSent < RawHttp::request("GET", "/api/status").size());
    QVERIFY2(served >= 30, qPrintable(QString::number(served)));
    QVERIFY2(slowest < 500, qPrintable(QString::number(slowest)));
}

void TestRemoteLimits::flood()
{
    RemoteRig rig;
    QVERIFY(rig.start({1, 2, 3, 4, 5, 6, 7, 8}));
    const quint16 port = quint16(rig.settings.port);
    constexpr int PerSecond = 1000;
    std::atomic<int> ok{0}, failed{0};
    const QList<QByteArray> targets = {"/api/monitors", "/api/status", "/api/monitors/5", "/api/events?since=3",
                                       "/api/nothing"};
    // Four keep-alive clients and a fifth that opens a connection for each
    // request, a thousand requests a second in all.
    const auto flood = [&](int seconds) {
        std::vector<std::thread> clients;
        for (int c = 0; c < 5; ++c) {
            clients.emplace_back([&, c] {
                RawHttp client;
                auto next = std::chrono::steady_clock::now();
                for (int i = 0; i < seconds * PerSecond / 5; ++i) {
                    const QByteArray request = RawHttp::request("GET", targets.at((i + c) % targets.size()));
                    std::optional<RawHttp::Response> r;
                    if (c == 4) {
                        r = RawHttp::exchange(port, request);
                    } else {
                        if (!client.isOpen())
                            client.connectTo(QStringLiteral("127.0.0.1"), port);
                        if (client.send(request))
                            r = client.read();
                        if (!r)
                            client.close();
                    }
                    ++(r && (r->status == 200 || r->status == 404) ? ok : failed);
                    next += std::chrono::microseconds(1000000 * 5 / PerSecond);
                    std::this_thread::sleep_until(next);
                }
            });
        }
        for (std::thread &t : clients)
            t.join();
    };
    // A second of it first: the client threads' own memory (stacks, malloc
    // arenas) is then in place, and what is measured is the server's.
    RemoteRig::offThread([&] { flood(1); }, [&] { rig.f.bus.clearTrace(); });
    QTest::qWait(200);
    ok = 0;
    const qint64 before = residentKb();
    qint64 most = before;
    constexpr int Seconds = 10;
    LoopGapMeter meter;
    meter.start();
    // The simulator's trace is the test's record and fills up to its bound
    // meanwhile; kept empty, it leaves the memory to the server.
    rig.f.bus.clearTrace();
    RemoteRig::offThread([&] { flood(Seconds); }, [&] {
        rig.f.bus.clearTrace();
        most = std::max(most, residentKb());
    });
    meter.stop();
    QTest::qWait(500);
    rig.f.bus.clearTrace();
    const qint64 after = residentKb();
    qInfo("flood: %d answered, %d failed; resident memory %lld kB more at most, %lld kB after; %s", ok.load(),
          failed.load(), most - before, after - before, qPrintable(meter.summary()));
    QCOMPARE(failed.load(), 0);
    QCOMPARE(ok.load(), Seconds * PerSecond);
    QVERIFY2(meter.longestStall().stallMs() < 100, qPrintable(meter.summary()));
    if (!addressSanitized())
        QVERIFY2(after - before < 4 * 1024, qPrintable(QStringLiteral("%1 kB").arg(after - before)));
    QVERIFY(rig.f.controller->monitorCount() == 8);
}

void TestRemoteLimits::connectionCap()
{
    RemoteRig rig;
    QVERIFY(rig.start({5}));
    const quint16 port = quint16(rig.settings.port);
    std::vector<std::unique_ptr<RawHttp>> idle;
    std::optional<RawHttp::Response> refused, afterwards;
    RemoteRig::offThread([&] {
        for (int i = 0; i < 256; ++i) {
            idle.push_back(std::make_unique<RawHttp>());
            idle.back()->connectTo(QStringLiteral("127.0.0.1"), port);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        refused = RawHttp::exchange(port, RawHttp::request("GET", "/api/status"));
        idle.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        afterwards = RawHttp::exchange(port, RawHttp::request("GET", "/api/status"));
    });
    QVERIFY(refused);
    QCOMPARE(refused->status, 503);
    QCOMPARE(refused->body, QByteArray("{\"error\":\"Too many connections\"}"));
    QVERIFY(afterwards);
    QCOMPARE(afterwards->status, 200);
}

QTEST_GUILESS_MAIN(TestRemoteLimits)
#include "tst_remotelimits.moc"
