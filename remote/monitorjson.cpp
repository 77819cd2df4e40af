#include "remote/monitorjson.h"

#include "monitor/alarmkinds.h"
#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"
#include "monitor/functionnames.h"

#include <QJsonArray>

#include <array>
#include <cmath>

namespace {

// Indexed by CMonitor::Rotary.
const std::array<const char *, CMonitor::RotaryCount> rotaryKeys = {
    "hue", "chroma", "bright", "contrast", "volume",
};

// The board-version pairs in order: FPGA code, Rec709, SMPTE-C, EBU, DCI P3.
const std::array<const char *, 5> boardKeys = {
    "fpgaCode", "rec709", "smpteC", "ebu", "dciP3",
};

// The alarm kind's tag without its brackets: "[AUDIO MUTE]" -> "AUDIO MUTE".
QString kindName(AlarmKinds::Kind kind)
{
    QString tag = QLatin1String(AlarmKinds::kinds[kind].tag);
    return tag.mid(1, tag.size() - 2);
}

QJsonValue milliseconds(qint64 us)
{
    if (us < 0)
        return QJsonValue(QJsonValue::Null);
    return std::round(double(us) / 100.0) / 10.0;
}

} // namespace

QJsonValue MonitorJson::isoTime(const QDateTime &when)
{
    if (!when.isValid())
        return QJsonValue(QJsonValue::Null);
    return when.toUTC().toString(Qt::ISODateWithMs);
}

QJsonObject MonitorJson::toJson(const CMonitor &m, const Context &c)
{
    // The alarm tests of the views, with the enables read once by the caller.
    QJsonArray alarms;
    for (int kind = 0; kind < AlarmKinds::KindCount; ++kind) {
        if (alarmTest(m, AlarmKinds::Kind(kind), c.enabled))
            alarms.append(kindName(AlarmKinds::Kind(kind)));
    }
    const bool alarming = !alarms.isEmpty();
    const QString status = statusText(m, c.enabled);
    const QColor colour = statusColor(m, c.enabled);
    const bool zombie = m.state & CMonitor::StateZombie;

    QJsonObject o;
    o.insert(QStringLiteral("address"), int(m.address));
    o.insert(QStringLiteral("serial"), m.serialNumber);
    o.insert(QStringLiteral("status"), status);
    o.insert(QStringLiteral("colour"), colour.name());
    o.insert(QStringLiteral("alarms"), alarms);
    o.insert(QStringLiteral("alarming"), alarming && !zombie);
    o.insert(QStringLiteral("acknowledged"), c.acknowledged);
    o.insert(QStringLiteral("zombie"), zombie);
    if (c.umd) {
        o.insert(QStringLiteral("umd"), QJsonObject{{QStringLiteral("text"), c.umd->text},
                                                    {QStringLiteral("red"), c.umd->red},
                                                    {QStringLiteral("green"), c.umd->green}});
    } else {
        o.insert(QStringLiteral("umd"), QJsonValue(QJsonValue::Null));
    }
    if (c.position)
        o.insert(QStringLiteral("position"), QJsonObject{{QStringLiteral("x"), c.position->x()},
                                                         {QStringLiteral("y"), c.position->y()}});
    else
        o.insert(QStringLiteral("position"), QJsonValue(QJsonValue::Null));

    const BusHealth &h = m.health;
    o.insert(QStringLiteral("health"),
             QJsonObject{{QStringLiteral("lastReply"), isoTime(h.lastGoodReply())},
                         {QStringLiteral("medianMs"), milliseconds(h.medianExchangeUs())},
                         {QStringLiteral("worstMs"), milliseconds(h.worstExchangeUs())},
                         {QStringLiteral("failures"), h.failuresSinceSearch()},
                         {QStringLiteral("zombieEpisodes"), h.zombieEpisodes()},
                         {QStringLiteral("zombieSeconds"), qint64(h.zombieMs(c.now) / 1000)}});

    // The detail window's fields.
    o.insert(QStringLiteral("power"), bool(m.state & CMonitor::StatePower));
    o.insert(QStringLiteral("firmware"), m.version);
    const QString input = inputName(m.input);
    const QString mode = modeName(m.mode);
    o.insert(QStringLiteral("input"), input.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(input));
    o.insert(QStringLiteral("mode"), mode.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(mode));
    o.insert(QStringLiteral("timeCode"), m.timeCode);
    QJsonObject rotary;
    for (int i = 0; i < CMonitor::RotaryCount; ++i)
        rotary.insert(QLatin1String(rotaryKeys[i]), m.rotaryValues[i]);
    o.insert(QStringLiteral("rotary"), rotary);
    QJsonArray functions;
    for (int i = 0; i < functionNames.size(); ++i) {
        if (m.functions & (quint32(1) << i))
            functions.append(functionNames.at(i));
    }
    o.insert(QStringLiteral("functions"), functions);
    QJsonObject boards;
    for (int i = 0; i < int(boardKeys.size()); ++i) {
        const QByteArray &b = m.boardVersions;
        boards.insert(QLatin1String(boardKeys[i]),
                      b.size() >= 2 * i + 2
                          ? QJsonValue(CMonitor::versionText(quint8(b.at(2 * i)), quint8(b.at(2 * i + 1))))
                          : QJsonValue(QJsonValue::Null));
    }
    o.insert(QStringLiteral("boards"), boards);
    return o;
}
