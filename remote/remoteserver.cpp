#include "remote/remoteserver.h"

#include "remote/httpserver.h"
#include "remote/livehub.h"
#include "remote/remoteapi.h"

#include <QHostAddress>

RemoteServer::RemoteServer(MController *controller, QObject *parent)
    : QObject(parent), api(new RemoteApi(controller, this)), hub(new LiveHub(api, this))
{
}

RemoteServer::~RemoteServer()
{
    stop();
}

QStringList RemoteServer::start(const RemoteSettings &settings)
{
    stop();
    QStringList problems = settings.validate();
    if (!problems.isEmpty())
        return problems;
    api->setSettings(settings);
    http = new HttpServer([this](const HttpRequest &request) { return api->handle(request); },
                          [this](QTcpSocket *socket) { hub->take(socket); }, this);
    QString error;
    if (!http->listen(QHostAddress(settings.bind), quint16(settings.port), &error)) {
        delete http;
        http = nullptr;
        return {error};
    }
    return {};
}

void RemoteServer::stop()
{
    hub->closeAll();
    delete http;
    http = nullptr;
}

bool RemoteServer::isOn() const
{
    return http && http->isListening();
}

quint16 RemoteServer::port() const
{
    return http ? http->port() : 0;
}

void RemoteServer::setMetricsSource(std::function<QByteArray()> source)
{
    api->setMetricsSource(std::move(source));
}
