#ifndef HTTPCONNECTION_H
#define HTTPCONNECTION_H

#include "remote/httprequest.h"
#include "remote/httpresponse.h"

#include <QObject>
#include <QTimer>

#include <functional>

class QTcpSocket;

// One client connection of the HTTP server. A request head is vetted while
// it is still in the socket's buffer (peeked, not read), so that a head that
// asks for a WebSocket can be handed over untouched; a body is read only once
// its declared length is within the limit and it has arrived completely.
// Requests are answered one at a time in order, so pipelining is safe; while
// the client does not read its answers, no further request is taken.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    // A request and its body not complete within this time: 408, closed.
    static constexpr int RequestTimeoutMs = 10000;
    // A keep-alive connection without a request for this long is closed.
    static constexpr int IdleTimeoutMs = 15000;
    // Unsent answers over this many bytes: no further request is read.
    static constexpr qint64 MaxUnsentBytes = 1 << 20;
    // After an error that ends the connection: how long what the client
    // still sends is read and dropped, so that it can read the answer.
    static constexpr int DrainMs = 1000;

    // Answers a request. Status 101 on a WebSocket upgrade means: hand the
    // socket over (upgrade is then called, the connection ends).
    using Handler = std::function<HttpResponse(const HttpRequest &)>;
    using Upgrade = std::function<void(QTcpSocket *)>;

    // Takes ownership of the socket.
    HttpConnection(QTcpSocket *socket, Handler handler, Upgrade upgrade, QObject *parent = nullptr);
    ~HttpConnection() override;

    // Answers this error at once and ends the connection (too many clients).
    void refuse(const HttpResponse &response);

signals:
    void finished();

private:
    enum State { Head, Body, Closing, Draining, Done };

    void process();
    void processRequests();
    void respond(const HttpResponse &response, bool keepAlive);
    void fail(int status, const QString &text);
    void timedOut();
    void bytesWritten();
    void startDrain();
    void finish();

    QTcpSocket *socket;
    Handler handler;
    Upgrade upgrade;
    QTimer timer;
    State state = Head;
    bool requestStarted = false;
    bool busy = false;
    bool missed = false; // bytes arrived while busy
    HttpRequest request;
};

#endif // HTTPCONNECTION_H
