#ifndef REMOTESERVER_H
#define REMOTESERVER_H

#include "remote/remotesettings.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <functional>

class HttpServer;
class LiveHub;
class MController;
class RemoteApi;

// The remote wall and API as the application starts and stops it: the HTTP
// server, its endpoints and the live WebSocket, all on this thread's event
// loop, reading the same records as the views.
class RemoteServer : public QObject
{
    Q_OBJECT

public:
    explicit RemoteServer(MController *controller, QObject *parent = nullptr);
    ~RemoteServer() override;

    // Listens as the settings say, whether or not they are enabled; what
    // stops it, in a few lines, or an empty list on success. Stops first.
    QStringList start(const RemoteSettings &settings);
    void stop();
    bool isOn() const;
    quint16 port() const;

    // GET /metrics serves what this returns; without one it is 404.
    void setMetricsSource(std::function<QByteArray()> source);

private:
    RemoteApi *api;
    LiveHub *hub;
    HttpServer *http = nullptr;
};

#endif // REMOTESERVER_H
