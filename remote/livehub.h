#ifndef LIVEHUB_H
#define LIVEHUB_H

#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QWebSocketServer>

class QTcpSocket;
class QWebSocket;
class RemoteApi;

// The live wall's WebSocket clients. Changes are gathered for a few
// milliseconds and pushed to every client together; a client that does not
// take what it is sent is closed, never waited for.
class LiveHub : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxClients = 200;
    // Changes are pushed this long after the first of them at the latest.
    static constexpr int GatherMs = 5;
    // A client with more than this unsent is closed.
    static constexpr qint64 MaxUnsentBytes = 1 << 20;
    // The kernel's send buffer of a client's connection.
    static constexpr int KernelSendBytes = 64 * 1024;
    // Events of the hello message.
    static constexpr int HelloEvents = 50;
    // Events gathered between two pushes beyond this are left to
    // /api/events (the oldest are dropped).
    static constexpr int MaxGatheredEvents = 1000;

    explicit LiveHub(RemoteApi *api, QObject *parent = nullptr);
    ~LiveHub() override;

    // Takes over a connection whose WebSocket handshake is still unread.
    void take(QTcpSocket *socket);
    // Closes every client.
    void closeAll();
    int clientCount() const { return int(clients.size()); }

private:
    void accept();
    void schedule();
    void flush();
    // False when the client was dropped.
    bool send(QWebSocket *client, const QString &message);
    void drop(QWebSocket *client);

    RemoteApi *api;
    QWebSocketServer server;
    QList<QWebSocket *> clients;
    QTimer timer;
    QSet<quint8> dirty;
    bool statusDirty = false;
    QList<QPair<qint64, QString>> gatheredEvents;
};

#endif // LIVEHUB_H
