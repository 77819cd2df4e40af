#include "remote/livehub.h"

#include "remote/remoteapi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QWebSocket>

#include <algorithm>

namespace {

QString compact(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace

LiveHub::LiveHub(RemoteApi *a, QObject *parent)
    : QObject(parent), api(a), server(QStringLiteral("Kelvaro Controller"), QWebSocketServer::NonSecureMode)
{
    server.setHandshakeTimeout(10000);
    connect(&server, &QWebSocketServer::newConnection, this, &LiveHub::accept);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &LiveHub::flush);
    connect(api, &RemoteApi::monitorTouched, this, [this](quint8 address) {
        dirty.insert(address);
        schedule();
    });
    connect(api, &RemoteApi::monitorGone, this, [this](quint8 address) {
        dirty.insert(address);
        schedule();
    });
    connect(api, &RemoteApi::statusTouched, this, [this] {
        statusDirty = true;
        schedule();
    });
    connect(api, &RemoteApi::eventAdded, this, [this](qint64 id, const QString &line) {
        gatheredEvents.append({id, line});
        if (gatheredEvents.size() > MaxGatheredEvents)
            gatheredEvents.removeFirst();
        schedule();
    });
}

LiveHub::~LiveHub()
{
    closeAll();
}

void LiveHub::take(QTcpSocket *socket)
{
    // What the kernel holds for a client is out of sight of bytesToWrite():
    // kept small, the bound on unsent data means what it says, and a
    // client that stops reading is noticed soon.
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, KernelSendBytes);
    // A change goes out as several small frames; with Nagle's algorithm the
    // second would wait for the client's delayed acknowledgement of the
    // first, 40 ms on Linux.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    server.handleConnection(socket);
}

void LiveHub::closeAll()
{
    const QList<QWebSocket *> all = std::exchange(clients, {});
    for (QWebSocket *client : all) {
        client->disconnect(this);
        client->abort();
        client->deleteLater();
    }
}

void LiveHub::accept()
{
    while (QWebSocket *client = server.nextPendingConnection()) {
        if (clients.size() >= MaxClients) {
            client->close(QWebSocketProtocol::CloseCodeTooMuchData, QStringLiteral("Too many clients"));
            client->deleteLater();
            continue;
        }
        // Clients only listen: what they send is small or dropped.
        client->setMaxAllowedIncomingFrameSize(4096);
        client->setMaxAllowedIncomingMessageSize(4096);
        clients.append(client);
        connect(client, &QWebSocket::disconnected, this, [this, client] { drop(client); });
        connect(client, &QWebSocket::bytesWritten, this, [this, client] {
            if (client->bytesToWrite() > MaxUnsentBytes)
                drop(client);
        });

        QByteArray list = api->monitorsJson(); // {"monitors":[...]}
        QJsonArray events;
        for (const EventRing::Event &e : api->events().newest(HelloEvents))
            events.append(QJsonObject{{QStringLiteral("id"), e.id}, {QStringLiteral("line"), e.line}});
        const QByteArray hello = "{\"type\":\"hello\",\"status\":"
            + QJsonDocument(api->statusJson()).toJson(QJsonDocument::Compact) + ','
            + list.mid(1, list.size() - 2) + ",\"events\":"
            + QJsonDocument(events).toJson(QJsonDocument::Compact) + '}';
        send(client, QString::fromUtf8(hello));
    }
}

void LiveHub::schedule()
{
    if (clients.isEmpty()) {
        // Nobody to tell: nothing is gathered.
        dirty.clear();
        statusDirty = false;
        gatheredEvents.clear();
        return;
    }
    if (!timer.isActive())
        timer.start(GatherMs);
}

void LiveHub::flush()
{
    QStringList messages;
    for (const auto &e : std::as_const(gatheredEvents))
        messages << compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("event")},
                                        {QStringLiteral("id"), e.first},
                                        {QStringLiteral("line"), e.second}});
    QList<quint8> addresses(dirty.begin(), dirty.end());
    std::sort(addresses.begin(), addresses.end());
    for (quint8 address : addresses) {
        const QJsonObject monitor = api->monitorJson(address);
        if (monitor.isEmpty())
            messages << compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("removed")},
                                            {QStringLiteral("address"), int(address)}});
        else
            messages << compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("monitor")},
                                            {QStringLiteral("monitor"), monitor}});
    }
    if (statusDirty)
        messages << compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("status")},
                                        {QStringLiteral("status"), api->statusJson()}});
    dirty.clear();
    statusDirty = false;
    gatheredEvents.clear();

    const QList<QWebSocket *> all = clients;
    for (QWebSocket *client : all) {
        for (const QString &message : std::as_const(messages)) {
            if (!send(client, message))
                break;
        }
    }
}

bool LiveHub::send(QWebSocket *client, const QString &message)
{
    if (client->bytesToWrite() > MaxUnsentBytes) {
        drop(client);
        return false;
    }
    client->sendTextMessage(message);
    return true;
}

void LiveHub::drop(QWebSocket *client)
{
    if (!clients.removeOne(client))
        return;
    client->disconnect(this);
    client->abort();
    client->deleteLater();
}
