#include "remote/httpserver.h"

#include <QTcpSocket>

#include <utility>

HttpServer::HttpServer(HttpConnection::Handler h, HttpConnection::Upgrade u, QObject *parent)
    : QObject(parent), handler(std::move(h)), upgrade(std::move(u))
{
    server.setMaxPendingConnections(64);
    connect(&server, &QTcpServer::newConnection, this, &HttpServer::accept);
}

HttpServer::~HttpServer()
{
    close();
}

bool HttpServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (server.listen(address, port))
        return true;
    if (error)
        *error = server.serverError() == QAbstractSocket::AddressInUseError
            ? QStringLiteral("Port %1 on %2 is in use by another program.").arg(port).arg(address.toString())
            : QStringLiteral("Cannot listen on %1 port %2: %3").arg(address.toString()).arg(port).arg(server.errorString());
    return false;
}

void HttpServer::close()
{
    server.close();
    const QList<HttpConnection *> connections = findChildren<HttpConnection *>(Qt::FindDirectChildrenOnly);
    for (HttpConnection *connection : connections)
        delete connection;
    open = 0;
}

void HttpServer::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        auto *connection = new HttpConnection(socket, handler, upgrade, this);
        ++open;
        connect(connection, &HttpConnection::finished, this, [this] { --open; });
        if (open > MaxConnections)
            connection->refuse(HttpResponse::error(503, QStringLiteral("Too many connections")));
    }
}
