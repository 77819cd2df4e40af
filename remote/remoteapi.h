#ifndef REMOTEAPI_H
#define REMOTEAPI_H

#include "remote/eventring.h"
#include "remote/httprequest.h"
#include "remote/httpresponse.h"
#include "remote/monitorjson.h"
#include "remote/positioncache.h"
#include "remote/remotesettings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>
#include <optional>

class CMonitor;
class MController;

// The endpoints: requests in, responses out, everything read from and sent
// through the supervisor on the main thread. It keeps what the supervisor
// does not: the numbered event lines, the last UMD per address, the saved
// icon layout, and the monitor list as JSON, rebuilt only after a change.
class RemoteApi : public QObject
{
    Q_OBJECT

public:
    // A list whose only change is bus health figures is served up to this old.
    static constexpr int HealthStaleMs = 1000;

    explicit RemoteApi(MController *controller, QObject *parent = nullptr);

    void setSettings(const RemoteSettings &settings) { this->settings = settings; }
    void setMetricsSource(std::function<QByteArray()> source) { metrics = std::move(source); }

    HttpResponse handle(const HttpRequest &request);

    QJsonObject statusJson() const;
    QJsonObject monitorJson(quint8 address);
    QByteArray monitorsJson();
    const EventRing &events() const { return ring; }

    // Whether a WebSocket request may connect: an empty response if so.
    std::optional<HttpResponse> refuseReading(const HttpRequest &request) const;

signals:
    // For the live wall: what changed, announced once per change.
    void monitorTouched(quint8 address);
    void monitorGone(quint8 address);
    void statusTouched();
    void eventAdded(qint64 id, const QString &line);

private:
    enum Access { Read, Control };
    std::optional<HttpResponse> refuse(const HttpRequest &request, Access access) const;
    HttpResponse route(const HttpRequest &request);
    HttpResponse staticFile(const QString &path) const;
    HttpResponse getEvents(const HttpRequest &request) const;
    HttpResponse postKey(quint8 address, const QByteArray &body);
    HttpResponse postUmd(quint8 address, const QByteArray &body);
    HttpResponse postPower(const QByteArray &body);
    bool isListed(quint8 address) const;
    MonitorJson::Context context(const CMonitor &m, const AlarmSettings::Enables &enabled,
                                 const QDateTime &now) const;
    void touch(quint8 address);
    void noteEvent(const QString &line);
    // Marks the cached list stale when the alarm options or the layout changed.
    void checkFiles();

    QPointer<MController> controller;
    RemoteSettings settings;
    std::function<QByteArray()> metrics;
    EventRing ring;
    QHash<quint8, MonitorJson::Umd> umds;
    PositionCache positions;
    bool searching = false;
    // Addresses announced to the live wall, and those acknowledged.
    QSet<quint8> known;
    QSet<quint8> acknowledged;

    QByteArray cachedList;
    bool listStale = true;
    bool healthStale = false;
    QElapsedTimer listAge;
    QDateTime iniModified;
};

#endif // REMOTEAPI_H
