#include "remote/httpconnection.h"

#include <QTcpSocket>

#include <sys/socket.h>

#include <utility>

namespace {

// Enough for a head and a body at their limits; Qt stops taking bytes from
// the kernel beyond it, so a client streaming data costs no memory here.
constexpr qint64 ReadBufferBytes = 64 * 1024;

} // namespace

HttpConnection::HttpConnection(QTcpSocket *s, Handler h, Upgrade u, QObject *parent)
    : QObject(parent), socket(s), handler(std::move(h)), upgrade(std::move(u))
{
    socket->setParent(this);
    socket->setReadBufferSize(ReadBufferBytes);
    timer.setSingleShot(true);
    // A coarse timer may fire 5 % early: a time-out is a promise to the client.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &HttpConnection::timedOut);
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::process);
    connect(socket, &QTcpSocket::bytesWritten, this, &HttpConnection::bytesWritten);
    connect(socket, &QTcpSocket::disconnected, this, &HttpConnection::finish);
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError || state != Head || !socket->bytesAvailable())
            finish();
    });
    timer.start(IdleTimeoutMs);
    QMetaObject::invokeMethod(this, &HttpConnection::process, Qt::QueuedConnection);
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::refuse(const HttpResponse &response)
{
    respond(response, false);
}

void HttpConnection::process()
{
    // A handler may run a nested event loop (a warning box the supervisor
    // opens); the request in hand is finished first.
    if (busy) {
        missed = true;
        return;
    }
    busy = true;
    do {
        missed = false;
        processRequests();
    } while (missed && (state == Head || state == Body));
    busy = false;
}

void HttpConnection::processRequests()
{
    while (state == Head || state == Body) {
        if (socket->bytesToWrite() > MaxUnsentBytes)
            return; // resumed by bytesWritten
        if (state == Head) {
            const qint64 available = socket->bytesAvailable();
            if (available == 0) {
                if (socket->state() != QAbstractSocket::ConnectedState)
                    finish();
                return;
            }
            if (!requestStarted) {
                requestStarted = true;
                timer.start(RequestTimeoutMs);
            }
            const QByteArray bytes = socket->peek(qMin<qint64>(available, HttpRequest::MaxBodyBytes + 1));
            int headLength = 0;
            switch (HttpRequest::parseHead(bytes, &request, &headLength)) {
            case HttpRequest::Incomplete:
                return;
            case HttpRequest::Malformed:
                fail(400, QStringLiteral("Malformed request"));
                return;
            case HttpRequest::HeadTooLarge:
                fail(431, QStringLiteral("Request head over 8192 bytes"));
                return;
            case HttpRequest::BodyUnannounced:
            case HttpRequest::BodyTooLarge:
                fail(413, QStringLiteral("Request body over 16384 bytes"));
                return;
            case HttpRequest::LengthRequired:
                fail(411, QStringLiteral("Chunked bodies are not accepted: send a Content-Length"));
                return;
            case HttpRequest::Complete:
                break;
            }
            if (request.isWebSocketUpgrade() && request.contentLength == 0) {
                const HttpResponse answer = handler(request);
                if (answer.status == 101) {
                    // The head stays in the socket for the WebSocket server.
                    state = Done;
                    timer.stop();
                    disconnect(socket, nullptr, this, nullptr);
                    socket->setParent(nullptr);
                    socket->setReadBufferSize(0);
                    QTcpSocket *handed = std::exchange(socket, nullptr);
                    upgrade(handed);
                    emit finished();
                    deleteLater();
                    return;
                }
                socket->read(headLength);
                respond(answer, false);
                return;
            }
            socket->read(headLength);
            state = Body;
        }
        if (state == Body) {
            if (socket->bytesAvailable() < request.contentLength) {
                if (socket->state() != QAbstractSocket::ConnectedState)
                    finish();
                return;
            }
            request.body = socket->read(request.contentLength);
            HttpResponse answer = handler(request);
            if (answer.status == 101) // an upgrade comes without a body
                answer = HttpResponse::error(400, QStringLiteral("Malformed request"));
            requestStarted = false;
            respond(answer, request.keepAlive);
        }
    }
}

void HttpConnection::respond(const HttpResponse &response, bool keepAlive)
{
    if (!socket || state == Closing || state == Draining || state == Done)
        return;
    socket->write(response.serialize(keepAlive));
    if (keepAlive) {
        state = Head;
        timer.start(IdleTimeoutMs);
        return;
    }
    // Whatever the client sends meanwhile is no longer read as requests.
    state = Closing;
    timer.start(RequestTimeoutMs);
    if (socket->bytesToWrite() == 0)
        startDrain();
}

void HttpConnection::fail(int status, const QString &text)
{
    respond(HttpResponse::error(status, text), false);
}

void HttpConnection::timedOut()
{
    switch (state) {
    case Head:
        if (requestStarted)
            fail(408, QStringLiteral("Request not complete within 10 seconds"));
        else
            finish(); // idle keep-alive
        break;
    case Body:
        fail(408, QStringLiteral("Request not complete within 10 seconds"));
        break;
    default:
        finish();
        break;
    }
}

void HttpConnection::bytesWritten()
{
    if (!socket)
        return;
    if (state == Closing && socket->bytesToWrite() == 0)
        startDrain();
    else if (state == Head || state == Body)
        process();
}

void HttpConnection::startDrain()
{
    // Half-closed: the answer is followed by our end of stream, and what the
    // client still sends is dropped for a moment rather than reset at once,
    // which could take the answer with it.
    state = Draining;
    ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    connect(socket, &QTcpSocket::readyRead, this, [this] { socket->skip(socket->bytesAvailable()); });
    socket->skip(socket->bytesAvailable());
    timer.start(DrainMs);
}

void HttpConnection::finish()
{
    if (state == Done)
        return;
    state = Done;
    timer.stop();
    if (socket) {
        disconnect(socket, nullptr, this, nullptr);
        socket->abort();
    }
    emit finished();
    deleteLater();
}
