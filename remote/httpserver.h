#ifndef HTTPSERVER_H
#define HTTPSERVER_H

#include "remote/httpconnection.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

// Accepts HTTP clients up to a cap; one beyond it gets a 503 and is closed.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxConnections = 256;

    HttpServer(HttpConnection::Handler handler, HttpConnection::Upgrade upgrade, QObject *parent = nullptr);
    ~HttpServer() override;

    // False with a message in *error when the address cannot be listened on.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    // Stops listening and closes every connection.
    void close();
    bool isListening() const { return server.isListening(); }
    quint16 port() const { return server.serverPort(); }
    int connectionCount() const { return open; }

private:
    void accept();

    QTcpServer server;
    HttpConnection::Handler handler;
    HttpConnection::Upgrade upgrade;
    int open = 0;
};

#endif // HTTPSERVER_H
