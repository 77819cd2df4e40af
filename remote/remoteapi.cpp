#include "remote/remoteapi.h"

#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"
#include "monitor/settingsfile.h"
#include "protocol/controlkeys.h"
#include "supervision/mcontroller.h"
#include "transport/rsthread.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>

namespace {

constexpr char Version[] = KC_REMOTE_VERSION;

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

HttpResponse ok(int status = 200)
{
    return HttpResponse::json(status, QByteArrayLiteral("{\"ok\":true}"));
}

HttpResponse notFound()
{
    return HttpResponse::error(404, QStringLiteral("Unknown path"));
}

HttpResponse notListed(int address)
{
    return HttpResponse::error(404, QStringLiteral("No monitor at address %1").arg(address));
}

HttpResponse wrongMethod(const QByteArray &allow)
{
    HttpResponse r = HttpResponse::error(405, QStringLiteral("Method not allowed; use %1").arg(QLatin1String(allow)));
    r.headers.append({QByteArrayLiteral("Allow"), allow});
    return r;
}

HttpResponse badRequest(const QString &text)
{
    return HttpResponse::error(400, text);
}

// Equal length and bytes, in a time that does not tell where they differ.
bool sameToken(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (int i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
}

// A JSON object body with exactly these members allowed; *error says why not.
std::optional<QJsonObject> parseObject(const QByteArray &body, const QStringList &allowed, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        *error = QStringLiteral("The body is no JSON object");
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!allowed.contains(it.key())) {
            *error = QStringLiteral("Unknown member \"%1\"").arg(it.key());
            return std::nullopt;
        }
    }
    return o;
}

// 1..126 as a whole JSON number.
std::optional<quint8> addressValue(const QJsonValue &v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (d != std::floor(d) || d < RSThread::FirstAddress || d > RSThread::LastAddress)
        return std::nullopt;
    return quint8(d);
}

// The address of a path segment: 1..126, decimal digits only.
std::optional<quint8> addressSegment(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int n = text.toInt();
    if (n < RSThread::FirstAddress || n > RSThread::LastAddress)
        return std::nullopt;
    return quint8(n);
}

// What the UMD shows: eight characters at most, each printable Latin-1.
bool validUmdText(const QString &text)
{
    if (text.size() > 8)
        return false;
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (!((u >= 0x20 && u <= 0x7E) || (u >= 0xA0 && u <= 0xFF)))
            return false;
    }
    return true;
}

QByteArray contentTypeFor(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("html")) return "text/html; charset=utf-8";
    if (suffix == QLatin1String("js")) return "text/javascript; charset=utf-8";
    if (suffix == QLatin1String("css")) return "text/css; charset=utf-8";
    if (suffix == QLatin1String("svg")) return "image/svg+xml";
    if (suffix == QLatin1String("png")) return "image/png";
    if (suffix == QLatin1String("ico")) return "image/x-icon";
    if (suffix == QLatin1String("json")) return "application/json";
    return "application/octet-stream";
}

} // namespace

RemoteApi::RemoteApi(MController *c, QObject *parent) : QObject(parent), controller(c)
{
    connect(c, &MController::monitorAdded, this, [this](const CMonitor &m) { touch(m.address); });
    connect(c, &MController::monitorChanged, this, [this](const CMonitor &m) { touch(m.address); });
    connect(c, &MController::monitorRemoved, this, [this](const CMonitor &m) {
        listStale = true;
        known.remove(m.address);
        emit monitorGone(m.address);
        emit statusTouched();
    });
    connect(c, &MController::linkStateChanged, this, &RemoteApi::statusTouched);
    connect(c, &MController::acknowledgementChanged, this, [this] {
        // Only the monitors whose acknowledgement changed are news.
        QSet<quint8> now;
        controller->transactionThread()->lockMonitors();
        for (int i = 0; i < controller->monitorCount(); ++i) {
            const quint8 address = controller->monitorAt(i)->address;
            if (controller->isAcknowledged(address))
                now.insert(address);
        }
        controller->transactionThread()->unlockMonitors();
        const QSet<quint8> changed = (now - acknowledged) + (acknowledged - now);
        acknowledged = now;
        for (quint8 address : changed)
            touch(address);
        emit statusTouched();
    });
    connect(c, &MController::umdQueued, this, [this](quint8 address, const QByteArray &text, quint8 tally) {
        // As the frame carries it: eight characters, the padding blanks no
        // part of the text.
        umds.insert(address, {QString::fromLatin1(text.left(8)).trimmed(), bool(tally & 1), bool(tally & 2)});
        touch(address);
    });
    connect(c, &MController::eventLogged, this, &RemoteApi::noteEvent);
    connect(c, &MController::exchangeFinished, this, [this] { healthStale = true; });
}

void RemoteApi::touch(quint8 address)
{
    listStale = true;
    known.insert(address);
    emit monitorTouched(address);
    emit statusTouched();
}

void RemoteApi::noteEvent(const QString &line)
{
    const qint64 id = ring.add(line);
    // The log is the supervisor's own account of a search's start and end.
    if (line.contains(QLatin1String("[SEARCH]: START"))) {
        searching = true;
        // A search starts the list afresh, without a removal for each.
        listStale = true;
        const QSet<quint8> gone = std::exchange(known, {});
        for (quint8 address : gone)
            emit monitorGone(address);
    } else if (line.contains(QLatin1String("[SEARCH]: END"))) {
        searching = false;
    }
    emit eventAdded(id, line);
    emit statusTouched();
}

std::optional<HttpResponse> RemoteApi::refuse(const HttpRequest &request, Access access) const
{
    if (access == Control && !settings.control)
        return HttpResponse::error(403, QStringLiteral("Control is switched off"));
    if (access == Read && settings.openread)
        return std::nullopt;
    QByteArray given;
    bool present = false;
    const QByteArray authorization = request.header("authorization");
    if (!authorization.isEmpty()) {
        present = true;
        if (authorization.size() > 7 && authorization.left(7).toLower() == "bearer ")
            given = authorization.mid(7).trimmed();
    } else if (request.method == "GET") {
        const QString query = request.queryValue(QStringLiteral("token"));
        if (!query.isNull()) {
            present = true;
            given = query.toUtf8();
        }
    }
    if (!present) {
        HttpResponse r = HttpResponse::error(401, QStringLiteral("A token is needed"));
        r.headers.append({QByteArrayLiteral("WWW-Authenticate"), QByteArrayLiteral("Bearer")});
        return r;
    }
    if (settings.token.isEmpty() || !sameToken(given, settings.token.toUtf8()))
        return HttpResponse::error(403, QStringLiteral("Wrong token"));
    return std::nullopt;
}

std::optional<HttpResponse> RemoteApi::refuseReading(const HttpRequest &request) const
{
    return refuse(request, Read);
}

HttpResponse RemoteApi::handle(const HttpRequest &request)
{
    if (!controller)
        return HttpResponse::error(503, QStringLiteral("The supervisor is gone"));
    return route(request);
}

HttpResponse RemoteApi::route(const HttpRequest &r)
{
    const QString &path = r.path;
    const bool get = r.method == "GET";
    const bool post = r.method == "POST";

    if (path == QLatin1String("/api/live")) {
        if (!get)
            return wrongMethod("GET");
        if (auto refusal = refuse(r, Read))
            return *refusal;
        if (!r.isWebSocketUpgrade())
            return badRequest(QStringLiteral("This path takes WebSocket connections only"));
        return HttpResponse(101, QByteArray(), QByteArray());
    }
    if (path == QLatin1String("/metrics")) {
        if (!metrics)
            return notFound();
        if (!get)
            return wrongMethod("GET");
        if (auto refusal = refuse(r, Read))
            return *refusal;
        return HttpResponse(200, QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8"), metrics());
    }
    if (!path.startsWith(QLatin1String("/api/"))) {
        if (!get)
            return wrongMethod("GET");
        if (auto refusal = refuse(r, Read))
            return *refusal;
        return staticFile(path);
    }

    const QStringList parts = path.mid(5).split(QLatin1Char('/'));
    // Reading.
    if (parts == QStringList{QStringLiteral("status")}) {
        if (!get)
            return wrongMethod("GET");
        if (auto refusal = refuse(r, Read))
            return *refusal;
        return HttpResponse::json(200, compact(statusJson()));
    }
    if (parts == QStringList{QStringLiteral("monitors")}) {
        if (!get)
            return wrongMethod("GET");
        if (auto refusal = refuse(r, Read))
            return *refusal;
        return HttpResponse::json(200, monitorsJson());
    }
    if (parts == QStringList{QStringLiteral("events")}) {
        if (!get)
            return wrongMethod("GET");
        if (auto refusal = refuse(r, Read))
            return *refusal;
        return getEvents(r);
    }
    if (parts.size() >= 2 && parts.size() <= 3 && parts.at(0) == QLatin1String("monitors")) {
        const std::optional<quint8> address = addressSegment(parts.at(1));
        if (!address)
            return notFound();
        if (parts.size() == 2) {
            if (!get)
                return wrongMethod("GET");
            if (auto refusal = refuse(r, Read))
                return *refusal;
            const QJsonObject o = monitorJson(*address);
            if (o.isEmpty())
                return notListed(*address);
            return HttpResponse::json(200, compact(o));
        }
        const QString action = parts.at(2);
        if (action != QLatin1String("key") && action != QLatin1String("umd"))
            return notFound();
        if (!post)
            return wrongMethod("POST");
        if (auto refusal = refuse(r, Control))
            return *refusal;
        return action == QLatin1String("key") ? postKey(*address, r.body) : postUmd(*address, r.body);
    }
    // Control without an address.
    const QString single = parts.size() == 1 ? parts.at(0) : QString();
    if (single == QLatin1String("power") || single == QLatin1String("search")
        || single == QLatin1String("acknowledge")) {
        if (!post)
            return wrongMethod("POST");
        if (auto refusal = refuse(r, Control))
            return *refusal;
        if (single == QLatin1String("power"))
            return postPower(r.body);
        if (single == QLatin1String("search")) {
            if (!controller->startSearch())
                return HttpResponse::error(503, QStringLiteral("The serial port cannot be opened"));
            return ok(202);
        }
        const int count = controller->acknowledgeAlarms();
        return HttpResponse::json(200, compact(QJsonObject{{QStringLiteral("acknowledged"), count}}));
    }
    return notFound();
}

HttpResponse RemoteApi::staticFile(const QString &path) const
{
    if (path.contains(QLatin1String("..")) || path.contains(QLatin1String("//")))
        return notFound();
    const QString name = path == QLatin1String("/") ? QStringLiteral(":/web/index.html")
                                                    : QStringLiteral(":/web") + path;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly) || QFileInfo(name).isDir())
        return notFound();
    return HttpResponse(200, contentTypeFor(name), file.readAll());
}

HttpResponse RemoteApi::getEvents(const HttpRequest &r) const
{
    qint64 since = 0;
    const QString text = r.queryValue(QStringLiteral("since"));
    if (!text.isNull()) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
        if (!digits.match(text).hasMatch())
            return badRequest(QStringLiteral("since must be a non-negative integer"));
        since = text.toLongLong();
    }
    QJsonArray events;
    for (const EventRing::Event &e : ring.since(since))
        events.append(QJsonObject{{QStringLiteral("id"), e.id}, {QStringLiteral("line"), e.line}});
    return HttpResponse::json(200, compact(QJsonObject{{QStringLiteral("events"), events},
                                                       {QStringLiteral("last"), ring.lastId()}}));
}

HttpResponse RemoteApi::postKey(quint8 address, const QByteArray &body)
{
    QString error;
    const std::optional<QJsonObject> o = parseObject(body, {QStringLiteral("key")}, &error);
    if (!o)
        return badRequest(error);
    const QJsonValue key = o->value(QStringLiteral("key"));
    if (!key.isString())
        return badRequest(QStringLiteral("\"key\" must be a string"));
    // The script runner's key names.
    const std::optional<quint8> code = ControlKeys::codeForScriptName(key.toString());
    if (!code)
        return badRequest(QStringLiteral("Unknown key \"%1\"").arg(key.toString()));
    if (!isListed(address))
        return notListed(address);
    controller->sendControl(*code, address);
    return ok();
}

HttpResponse RemoteApi::postUmd(quint8 address, const QByteArray &body)
{
    QString error;
    const std::optional<QJsonObject> o =
        parseObject(body, {QStringLiteral("text"), QStringLiteral("red"), QStringLiteral("green")}, &error);
    if (!o)
        return badRequest(error);
    const QJsonValue text = o->value(QStringLiteral("text"));
    const QJsonValue red = o->value(QStringLiteral("red"));
    const QJsonValue green = o->value(QStringLiteral("green"));
    if (!text.isString())
        return badRequest(QStringLiteral("\"text\" must be a string"));
    if ((!red.isUndefined() && !red.isBool()) || (!green.isUndefined() && !green.isBool()))
        return badRequest(QStringLiteral("\"red\" and \"green\" must be true or false"));
    if (!validUmdText(text.toString()))
        return badRequest(QStringLiteral("The UMD text takes at most 8 printable Latin-1 characters"));
    if (!isListed(address))
        return notListed(address);
    // As the detail window builds it: bit 0 red, bit 1 green.
    const quint8 tally = (red.toBool() ? 1 : 0) | (green.toBool() ? 2 : 0);
    controller->sendUmd(text.toString().toLatin1(), tally, address);
    return ok();
}

HttpResponse RemoteApi::postPower(const QByteArray &body)
{
    QString error;
    const std::optional<QJsonObject> o =
        parseObject(body, {QStringLiteral("addresses"), QStringLiteral("on")}, &error);
    if (!o)
        return badRequest(error);
    const QJsonValue list = o->value(QStringLiteral("addresses"));
    const QJsonValue on = o->value(QStringLiteral("on"));
    if (!list.isArray() || list.toArray().isEmpty())
        return badRequest(QStringLiteral("\"addresses\" must be a list of addresses 1 to 126"));
    if (!on.isBool())
        return badRequest(QStringLiteral("\"on\" must be true or false"));
    QList<quint8> addresses;
    for (const QJsonValue &v : list.toArray()) {
        const std::optional<quint8> address = addressValue(v);
        if (!address)
            return badRequest(QStringLiteral("\"addresses\" must be a list of addresses 1 to 126"));
        if (!addresses.contains(*address))
            addresses << *address;
    }
    // All or nothing: one unlisted address and none is sent.
    for (quint8 address : addresses) {
        if (!isListed(address))
            return notListed(address);
    }
    for (quint8 address : addresses)
        controller->sendControl(on.toBool() ? ControlKeys::PowerOn : ControlKeys::PowerOff, address);
    return ok();
}

bool RemoteApi::isListed(quint8 address) const
{
    RSThread *thread = controller->transactionThread();
    thread->lockMonitors();
    const bool listed = thread->findMonitor(address) != nullptr;
    thread->unlockMonitors();
    return listed;
}

MonitorJson::Context RemoteApi::context(const CMonitor &m, const AlarmSettings::Enables &enabled,
                                        const QDateTime &now) const
{
    MonitorJson::Context c;
    c.enabled = enabled;
    c.acknowledged = controller->isAcknowledged(m.address);
    const auto umd = umds.constFind(m.address);
    if (umd != umds.constEnd())
        c.umd = *umd;
    const auto position = positions.positions().constFind(m.address);
    if (position != positions.positions().constEnd())
        c.position = *position;
    c.now = now;
    return c;
}

QJsonObject RemoteApi::statusJson() const
{
    QJsonObject o;
    if (!controller)
        return o;
    const char *link = "ok";
    switch (controller->linkState()) {
    case MController::PortLost: link = "portLost"; break;
    case MController::BusSilent: link = "busSilent"; break;
    default: break;
    }
    int zombies = 0;
    int count = 0;
    RSThread *thread = controller->transactionThread();
    thread->lockMonitors();
    count = controller->monitorCount();
    for (int i = 0; i < count; ++i) {
        if (controller->monitorAt(i)->state & CMonitor::StateZombie)
            ++zombies;
    }
    const int alarming = controller->alarmCount();
    thread->unlockMonitors();
    o.insert(QStringLiteral("version"), QLatin1String(Version));
    o.insert(QStringLiteral("port"), controller->linkPortName());
    o.insert(QStringLiteral("link"), QLatin1String(link));
    o.insert(QStringLiteral("linkSince"), controller->linkState() == MController::LinkOk
                                              ? QJsonValue(QJsonValue::Null)
                                              : MonitorJson::isoTime(controller->linkFaultSince()));
    o.insert(QStringLiteral("searching"), searching);
    o.insert(QStringLiteral("monitors"), count);
    o.insert(QStringLiteral("alarming"), alarming);
    o.insert(QStringLiteral("acknowledged"), controller->acknowledgedAlarmCount());
    o.insert(QStringLiteral("zombies"), zombies);
    o.insert(QStringLiteral("lastEvent"), ring.lastId());
    return o;
}

QJsonObject RemoteApi::monitorJson(quint8 address)
{
    if (!controller)
        return {};
    positions.refresh();
    const AlarmSettings::Enables enabled = AlarmSettings::enabledKinds();
    RSThread *thread = controller->transactionThread();
    thread->lockMonitors();
    const CMonitor *m = thread->findMonitor(address);
    const QJsonObject o = m ? MonitorJson::toJson(*m, context(*m, enabled, QDateTime::currentDateTime()))
                            : QJsonObject();
    thread->unlockMonitors();
    return o;
}

void RemoteApi::checkFiles()
{
    if (positions.refresh())
        listStale = true;
    // The alarm options decide status, colour and alarms.
    const QDateTime modified = QFileInfo(QLatin1String(SettingsFileName)).lastModified();
    if (modified != iniModified) {
        iniModified = modified;
        listStale = true;
    }
}

QByteArray RemoteApi::monitorsJson()
{
    if (!controller)
        return {};
    checkFiles();
    if (!listStale && !(healthStale && listAge.isValid() && listAge.elapsed() >= HealthStaleMs))
        return cachedList;
    const AlarmSettings::Enables enabled = AlarmSettings::enabledKinds();
    const QDateTime now = QDateTime::currentDateTime();
    QJsonArray list;
    RSThread *thread = controller->transactionThread();
    thread->lockMonitors();
    for (int i = 0; i < controller->monitorCount(); ++i) {
        const CMonitor *m = controller->monitorAt(i);
        list.append(MonitorJson::toJson(*m, context(*m, enabled, now)));
    }
    thread->unlockMonitors();
    cachedList = compact(QJsonObject{{QStringLiteral("monitors"), list}});
    listStale = false;
    healthStale = false;
    listAge.start();
    return cachedList;
}
