// What the remote API costs and how fast it answers, with 126 simulated
// monitors polled by the supervisor at 9600 baud:
//
// 1. Requests per second for GET /api/monitors (and /api/status) from
//    keep-alive clients on the loopback address, against a bare responder in
//    the same process that answers the same bytes without looking at them:
//    the floor that loopback TCP and this machine allow.
// 2. From MController::monitorChanged to a WebSocket client holding the
//    change, at 1 and at 100 clients, while the monitors' alarms, inputs and
//    power flap at random.
// 3. The application's CPU (main thread and bus worker, by their own CPU
//    clocks) while it serves the 100 clients during that flapping.
//
// The simulator, the load threads and the WebSocket clients run in this
// process but on threads of their own, left out of the CPU account. Figures
// are printed beside their targets, never asserted.
#include "bench/benchresult.h"
#include "bench/monitorflapper.h"
#include "monitor/cmonitor.h"
#include "protocol/rscmd.h"
#include "remote/remoteserver.h"
#include "remote/remotesettings.h"
#include "supervision/mcontroller.h"
#include "tests/support/supervisionfixture.h"
#include "transport/rsthread.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Baud = 9600;
constexpr int Monitors = 126;
constexpr int LoadThreads = 2;
constexpr int LoadSeconds = 5;
constexpr int PushSeconds = 20;
constexpr int FlapsPerSecond = 20;

constexpr double RateTarget = 2000;
constexpr double P99TargetMs = 50;
constexpr double CpuTarget = 0.20;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void serveFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// ---- 1. request rate ---------------------------------------------------------

// One keep-alive connection asking the same request over and over, a
// response at a time, until told to stop. Counts whole responses.
class Requester
{
public:
    Requester(quint16 port, QByteArray request) : port(port), request(std::move(request)) {}

    bool run(const std::atomic<bool> &stop)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return false;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        std::vector<char> buffer(1 << 16);
        std::string pending;
        while (ok && !stop.load(std::memory_order_relaxed)) {
            if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size()) {
                ok = false;
                break;
            }
            // Head, then Content-Length bytes of body.
            size_t needed = 0;
            for (;;) {
                const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
                if (got <= 0) {
                    ok = false;
                    break;
                }
                pending.append(buffer.data(), size_t(got));
                if (!needed) {
                    const size_t headEnd = pending.find("\r\n\r\n");
                    if (headEnd == std::string::npos)
                        continue;
                    const size_t lengthAt = pending.find("Content-Length: ");
                    if (lengthAt == std::string::npos || lengthAt > headEnd) {
                        ok = false;
                        break;
                    }
                    needed = headEnd + 4 + std::strtoul(pending.c_str() + lengthAt + 16, nullptr, 10);
                }
                if (pending.size() >= needed) {
                    if (pending.compare(0, 12, "HTTP/1.1 200") != 0)
                        ++errors;
                    pending.erase(0, needed);
                    ++responses;
                    break;
                }
            }
        }
        ::close(fd);
        return ok;
    }

    qint64 responses = 0;
    qint64 errors = 0;

private:
    quint16 port;
    QByteArray request;
};

struct RateFigures
{
    double perSecond = 0;
    qint64 errors = 0;
    bool broken = false;
};

// The load threads against a port for LoadSeconds, while this thread's event
// loop serves.
RateFigures measureRate(quint16 port, const QByteArray &path)
{
    const QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<Requester>> requesters;
    std::vector<std::thread> threads;
    std::atomic<int> broken{0};
    for (int i = 0; i < LoadThreads; ++i)
        requesters.push_back(std::make_unique<Requester>(port, request));
    const Clock::time_point start = Clock::now();
    for (auto &requester : requesters)
        threads.emplace_back([&, r = requester.get()] {
            if (!r->run(stop))
                ++broken;
        });
    serveFor(LoadSeconds * 1000);
    stop = true;
    const Clock::time_point stopped = Clock::now();
    // A requester waiting for its last response needs the loop to turn.
    serveFor(300);
    for (std::thread &t : threads)
        t.join();
    const double seconds = std::chrono::duration<double>(stopped - start).count();
    RateFigures figures;
    qint64 responses = 0;
    for (const auto &requester : requesters) {
        responses += requester->responses;
        figures.errors += requester->errors;
    }
    figures.perSecond = responses / seconds;
    figures.broken = broken > 0;
    return figures;
}

// Answers every request head with the same bytes, without parsing beyond the
// blank line: what serving a fixed response costs on this machine.
class BareResponder : public QObject
{
public:
    explicit BareResponder(QByteArray response) : response(std::move(response))
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    QByteArray &head = heads[socket];
                    head += socket->readAll();
                    for (qsizetype end; (end = head.indexOf("\r\n\r\n")) >= 0;) {
                        head.remove(0, end + 4);
                        socket->write(this->response);
                    }
                });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }

private:
    QTcpServer server;
    QByteArray response;
    QHash<QTcpSocket *, QByteArray> heads;
};

// One whole response, head and body, for the bare responder to repeat.
QByteArray fetchOnce(quint16 port, const QByteArray &path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return {};
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        serveFor(5);
        got += socket.readAll();
        const qsizetype headEnd = got.indexOf("\r\n\r\n");
        const qsizetype lengthAt = got.indexOf("Content-Length: ");
        if (headEnd < 0 || lengthAt < 0)
            continue;
        const qsizetype length = got.mid(lengthAt + 16, got.indexOf("\r\n", lengthAt) - lengthAt - 16).toLongLong();
        if (got.size() >= headEnd + 4 + length)
            return got.left(headEnd + 4 + length);
    }
    return {};
}

// ---- 2. push latency ---------------------------------------------------------

// When each monitor changed, by address, on the steady clock: written by the
// main thread, read by the clients' thread.
class ChangeLog
{
public:
    void add(quint8 address, Clock::time_point at)
    {
        QMutexLocker lock(&mutex);
        times[address].push_back(at);
    }
    std::vector<Clock::time_point> of(quint8 address)
    {
        QMutexLocker lock(&mutex);
        return times[address];
    }
    void clear()
    {
        QMutexLocker lock(&mutex);
        for (auto &list : times)
            list.clear();
    }

private:
    QMutex mutex;
    std::vector<Clock::time_point> times[256];
};

// WebSocket clients on a thread of their own; each keeps when a message
// about each address arrived.
class ClientPool : public QObject
{
public:
    struct Client {
        QWebSocket *socket = nullptr;
        bool hello = false;
        std::vector<Clock::time_point> received[256];
    };

    void open(int count, const QUrl &url)
    {
        for (int i = 0; i < count; ++i) {
            auto client = std::make_unique<Client>();
            client->socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
            Client *c = client.get();
            connect(c->socket, &QWebSocket::textMessageReceived, this, [c](const QString &text) {
                const Clock::time_point at = Clock::now();
                const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
                const QString type = message.value(QLatin1String("type")).toString();
                if (type == QLatin1String("hello"))
                    c->hello = true;
                else if (type == QLatin1String("monitor")) {
                    const int address = message.value(QLatin1String("monitor")).toObject()
                                            .value(QLatin1String("address")).toInt();
                    if (address > 0 && address < 256)
                        c->received[address].push_back(at);
                }
            });
            c->socket->open(url);
            clients.push_back(std::move(client));
        }
    }
    int ready() const
    {
        return int(std::count_if(clients.begin(), clients.end(), [](const auto &c) { return c->hello; }));
    }
    void clearReceived()
    {
        for (auto &c : clients)
            for (auto &list : c->received)
                list.clear();
    }
    void closeAll()
    {
        for (auto &c : clients)
            c->socket->close();
        clients.clear();
    }

    std::vector<std::unique_ptr<Client>> clients;
};

template <typename F>
void onThread(QObject *object, F f)
{
    QMetaObject::invokeMethod(object, f, Qt::BlockingQueuedConnection);
}

struct PushFigures
{
    QList<double> latencies;
    int undelivered = 0;
    double cpuApp = 0, cpuMain = 0, cpuWorker = 0;
    int clients = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    SupervisionFixture f;
    f.bus.setBaud(Baud);
    QList<quint8> addresses;
    for (int address = 1; address <= Monitors; ++address)
        addresses << quint8(address);
    std::printf("Searching %d simulated monitors at %d baud...\n", Monitors, Baud);
    std::fflush(stdout);
    // As SupervisionFixture::startWith, with the time a read-out of 126
    // monitors takes at this speed.
    for (quint8 address : addresses)
        if (!f.bus.addMonitor(SupervisionFixture::monitorState(address)))
            qFatal("the simulator refused monitor %d", address);
    f.writeSettings(QString(), 100);
    f.createController();
    MController &controller = *f.controller;
    QObject::connect(&controller, &MController::addressChanged, &controller, [&](int addr) {
        if (addr == Monitors + 1)
            controller.stopSearch();
    });
    controller.startSearch();
    const bool readOut = QTest::qWaitFor([&] {
        if (controller.monitorCount() < Monitors)
            return false;
        for (int i = 0; i < Monitors; ++i)
            if (controller.monitorAt(i)->pendingQueries || controller.monitorAt(i)->serialNumber.isEmpty())
                return false;
        return true;
    }, 180000);
    if (!readOut)
        qFatal("the monitors were not found and read out");

    clockid_t workerClock{};
    std::atomic<bool> haveWorkerClock{false};
    QObject::connect(controller.transactionThread(), &RSThread::cmdDone, [&](RSCmd *) {
        if (!haveWorkerClock.load(std::memory_order_relaxed) && pthread_getcpuclockid(pthread_self(), &workerClock) == 0)
            haveWorkerClock.store(true, std::memory_order_release);
    });

    RemoteServer server(&controller);
    RemoteSettings settings;
    settings.enabled = true;
    settings.port = 0;
    QStringList failures;
    for (quint16 port = 18080; port < 18180; ++port) {
        settings.port = port;
        failures = server.start(settings);
        if (failures.isEmpty())
            break;
    }
    if (!failures.isEmpty())
        qFatal("the remote server does not listen: %s", qPrintable(failures.join(QLatin1String("; "))));
    const quint16 port = server.port();
    serveFor(500);
    if (!haveWorkerClock.load(std::memory_order_acquire))
        qFatal("the bus worker did not run");

    // ---- 1. request rate ----
    const QByteArray monitorsResponse = fetchOnce(port, "/api/monitors");
    if (monitorsResponse.isEmpty())
        qFatal("GET /api/monitors did not answer");
    BareResponder bare(monitorsResponse);
    const RateFigures bareRate = measureRate(bare.port(), "/api/monitors");
    const RateFigures monitorsRate = measureRate(port, "/api/monitors");
    const RateFigures statusRate = measureRate(port, "/api/status");

    // ---- 2. and 3. pushes while the bus flaps ----
    ChangeLog changes;
    QObject::connect(&controller, &MController::monitorChanged, &controller,
                     [&](const CMonitor &m) { changes.add(m.address, Clock::now()); });
    QTemporaryDir scratch;
    MonitorFlapper flapper(f.bus, controller, 20261207, scratch.filePath(QStringLiteral("expected.txt")));
    flapper.start(FlapsPerSecond);
    serveFor(2000);

    QThread clientThread;
    clientThread.start();
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/api/live").arg(port));
    const auto pushRun = [&](int clientCount) {
        PushFigures figures;
        figures.clients = clientCount;
        auto *pool = new ClientPool;
        pool->moveToThread(&clientThread);
        onThread(pool, [&] { pool->open(clientCount, url); });
        QElapsedTimer waited;
        waited.start();
        int ready = 0;
        while (waited.elapsed() < 20000) {
            serveFor(50);
            onThread(pool, [&] { ready = pool->ready(); });
            if (ready == clientCount)
                break;
        }
        if (ready != clientCount)
            std::printf("(only %d of %d clients got their hello)\n", ready, clientCount);
        serveFor(500);
        changes.clear();
        onThread(pool, [&] { pool->clearReceived(); });
        const Clock::time_point start = Clock::now();
        const double process0 = BenchResult::cpuNow();
        const double main0 = BenchResult::threadCpuNow();
        const double worker0 = BenchResult::threadCpuNow(workerClock);
        serveFor(PushSeconds * 1000);
        const Clock::time_point end = Clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        figures.cpuMain = (BenchResult::threadCpuNow() - main0) / seconds;
        figures.cpuWorker = (BenchResult::threadCpuNow(workerClock) - worker0) / seconds;
        figures.cpuApp = figures.cpuMain + figures.cpuWorker;
        (void)process0;
        serveFor(1000); // the last changes' messages
        // Every change before the end, against the first message about its
        // monitor that came after it, for every client.
        onThread(pool, [&] {
            for (int address = 1; address <= Monitors; ++address) {
                const std::vector<Clock::time_point> changed = changes.of(quint8(address));
                for (const auto &client : pool->clients) {
                    const std::vector<Clock::time_point> &got = client->received[address];
                    for (const Clock::time_point &at : changed) {
                        if (at > end)
                            break;
                        const auto it = std::lower_bound(got.begin(), got.end(), at);
                        if (it == got.end())
                            ++figures.undelivered;
                        else
                            figures.latencies << ms(*it - at);
                    }
                }
            }
            pool->closeAll();
        });
        onThread(pool, [&] { delete pool; });
        return figures;
    };
    const PushFigures one = pushRun(1);
    const PushFigures hundred = pushRun(100);
    flapper.stop();
    clientThread.quit();
    clientThread.wait();

    // ---- report ----
    std::printf("\nRemote API benchmark: %d simulated monitors at %d baud, polled by the supervisor;\n"
                "HTTP on 127.0.0.1:%u, %d keep-alive clients for %d s per row\n\n",
                Monitors, Baud, unsigned(port), LoadThreads, LoadSeconds);
    std::printf("1. Requests per second (response of %lld bytes for /api/monitors)\n",
                static_cast<long long>(monitorsResponse.size()));
    std::printf("   %-44s %10.0f/s %s\n", "bare responder, same bytes (baseline)", bareRate.perSecond,
                bareRate.broken ? "(a connection broke)" : "");
    std::printf("   %-44s %10.0f/s  %.2f of baseline%s\n", "GET /api/monitors", monitorsRate.perSecond,
                bareRate.perSecond > 0 ? monitorsRate.perSecond / bareRate.perSecond : 0.0,
                monitorsRate.errors || monitorsRate.broken ? " (errors)" : "");
    std::printf("   %-44s %10.0f/s\n\n", "GET /api/status", statusRate.perSecond);
    std::printf("2. monitorChanged -> a WebSocket client holding the change, %d s while %d monitor changes/s\n"
                "   are made on the simulated bus; 3. the application's CPU meanwhile (main thread + bus worker)\n",
                PushSeconds, FlapsPerSecond);
    std::printf("   %-8s %8s %10s %10s %10s %12s %8s %8s %8s\n", "clients", "changes", "median ms", "p99 ms",
                "worst ms", "undelivered", "app CPU", "main", "worker");
    for (const PushFigures *p : {&one, &hundred}) {
        const double worst = p->latencies.isEmpty() ? 0 : *std::max_element(p->latencies.begin(), p->latencies.end());
        std::printf("   %-8d %8lld %10.1f %10.1f %10.1f %12d %7.1f%% %7.1f%% %7.1f%%\n", p->clients,
                    static_cast<long long>(p->latencies.size() / qMax(1, p->clients)),
                    BenchResult::median(p->latencies), BenchResult::percentile(p->latencies, 0.99), worst,
                    p->undelivered, 100 * p->cpuApp, 100 * p->cpuMain, 100 * p->cpuWorker);
    }
    const auto verdict = [](bool pass) { return pass ? "PASS" : "FAIL"; };
    std::printf("\n%-52s %14s %14s %6s\n", "figure", "measured", "target", "result");
    std::printf("%-52s %12.0f/s %12s/s %6s\n", "GET /api/monitors, requests per second", monitorsRate.perSecond,
                ">= 2000", verdict(!monitorsRate.errors && monitorsRate.perSecond >= RateTarget));
    for (const PushFigures *p : {&one, &hundred}) {
        const double p99 = BenchResult::percentile(p->latencies, 0.99);
        std::printf("%-52s %11.1f ms %11s ms %6s\n",
                    qPrintable(QStringLiteral("push latency p99, %1 client(s)").arg(p->clients)), p99, "< 50",
                    verdict(!p->undelivered && !p->latencies.isEmpty() && p99 < P99TargetMs));
    }
    std::printf("%-52s %12.1f %% %12s %% %6s\n", "application CPU, 100 clients, flapping bus", 100 * hundred.cpuApp,
                "< 20", verdict(hundred.cpuApp < CpuTarget));
    std::fflush(stdout);
    server.stop();
    return 0;
}
