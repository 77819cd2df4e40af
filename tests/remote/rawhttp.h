#ifndef RAWHTTP_H
#define RAWHTTP_H

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// A blocking HTTP/1.1 client on a plain POSIX socket, for a thread of its
// own: the server under test runs on the test's event loop, which must keep
// turning while a request waits.
class RawHttp
{
public:
    struct Response {
        int status = 0;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        QByteArray header(const QByteArray &name) const { return headers.value(name); }
    };

    RawHttp() = default;
    ~RawHttp();
    RawHttp(const RawHttp &) = delete;
    RawHttp &operator=(const RawHttp &) = delete;

    // False when the connection is refused or times out. receiveBuffer > 0
    // shrinks the socket's receive buffer before connecting.
    bool connectTo(const QString &address, quint16 port, int receiveBuffer = 0);
    void close();
    bool isOpen() const { return fd >= 0; }
    int descriptor() const { return fd; }

    // Sends all of it; false when the connection failed meanwhile.
    bool send(const QByteArray &bytes);
    // Reads one response; nothing on time-out or a connection that ended
    // before a whole response.
    std::optional<Response> read(int timeoutMs = 5000);
    // True when the server ended the connection (end of stream or reset)
    // within the time; what arrives meanwhile is dropped.
    bool waitForClose(int timeoutMs);

    // A request with the usual headers and, if any, a body with its length.
    static QByteArray request(const QByteArray &method, const QByteArray &target,
                              const QByteArray &body = QByteArray(),
                              const QByteArray &extraHeaders = QByteArray());
    // One request on a connection of its own.
    static std::optional<Response> exchange(quint16 port, const QByteArray &bytes,
                                            const QString &address = QStringLiteral("127.0.0.1"));

private:
    bool fill(int timeoutMs);

    int fd = -1;
    QByteArray buffer;
};

#endif // RAWHTTP_H
