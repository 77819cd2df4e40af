#include "tests/remote/rawhttp.h"

#include <QDeadlineTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawHttp::~RawHttp()
{
    close();
}

bool RawHttp::connectTo(const QString &address, quint16 port, int receiveBuffer)
{
    close();
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &sa.sin_addr) != 1
        || ::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        close();
        return false;
    }
    return true;
}

void RawHttp::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    buffer.clear();
}

bool RawHttp::send(const QByteArray &bytes)
{
    qint64 sent = 0;
    while (fd >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return fd >= 0;
}

bool RawHttp::fill(int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return false;
    char chunk[65536];
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0)
        return false;
    buffer.append(chunk, int(n));
    return true;
}

std::optional<RawHttp::Response> RawHttp::read(int timeoutMs)
{
    if (fd < 0)
        return std::nullopt;
    QDeadlineTimer deadline(timeoutMs);
    int end;
    while ((end = buffer.indexOf("\r\n\r\n")) < 0) {
        if (deadline.hasExpired() || !fill(int(deadline.remainingTime())))
            return std::nullopt;
    }
    Response r;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    const QList<QByteArray> statusLine = lines.value(0).trimmed().split(' ');
    r.status = statusLine.value(1).toInt();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            r.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    const int length = r.headers.value("content-length").toInt();
    while (buffer.size() < end + 4 + length) {
        if (deadline.hasExpired() || !fill(int(deadline.remainingTime())))
            return std::nullopt;
    }
    r.body = buffer.mid(end + 4, length);
    buffer.remove(0, end + 4 + length);
    return r;
}

bool RawHttp::waitForClose(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(qMin<qint64>(deadline.remainingTime(), 100))) <= 0)
            continue;
        char chunk[65536];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return true;
    }
    return false;
}

QByteArray RawHttp::request(const QByteArray &method, const QByteArray &target, const QByteArray &body,
                            const QByteArray &extraHeaders)
{
    QByteArray r = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders;
    if (!body.isEmpty() || method == "POST")
        r += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
    return r + "\r\n" + body;
}

std::optional<RawHttp::Response> RawHttp::exchange(quint16 port, const QByteArray &bytes, const QString &address)
{
    RawHttp client;
    if (!client.connectTo(address, port) || !client.send(bytes))
        return std::nullopt;
    return client.read();
}
