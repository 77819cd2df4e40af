#include "metrics/metricscollector.h"

#include "metrics/expositionwriter.h"
#include "protocol/rscmd.h"
#include "supervision/mcontroller.h"


namespace {

// The link states as the remote API spells them.
const char *linkStateName(MController::LinkState state)
{
    switch (state) {
    case MController::LinkOk: return "ok";
    case MController::PortLost: return "portLost";
    case MController::BusSilent: return "busSilent";
    }
    return "ok";
}

} // namespace

MetricsCollector::MetricsCollector(MController *controller, QObject *parent)
    : QObject(parent), controller(controller)
{
    connect(controller, &MController::addressChanged, this, &MetricsCollector::noteProbe);
    connect(controller, &MController::exchangeTimed, this, &MetricsCollector::noteExchange);
}

void MetricsCollector::noteProbe(int address)
{
    probing = address;
}

MetricsCollector::Kind MetricsCollector::kindOf(quint8 code)
{
    switch (code) {
    case RSCmd::CodeEcho: return Poll;
    case RSCmd::CodeProto: return Proto;
    case RSCmd::CodeAlarm: return Alarm;
    case RSCmd::CodeUpdate: return Update;
    case RSCmd::CodeQuery: return Query;
    case RSCmd::CodeControl: return Control;
    case RSCmd::CodeUmd: return Umd;
    default: return Other;
    }
}

QString MetricsCollector::kindName(Kind kind)
{
    static const std::array<const char *, KindCount> names = {
        "poll", "search", "proto", "alarm", "update", "query", "control", "umd", "other"};
    return QLatin1String(names[kind]);
}

void MetricsCollector::noteExchange(quint8 code, quint8 address, bool ok, qint64 busTimeUs)
{
    Kind kind = kindOf(code);
    if (kind == Poll && probing && address == probing) {
        kind = Search;
        probing = 0;
    }
    ++exchangeCount[kind];
    if (!ok)
        ++failureCount[kind];
    if (busTimeUs < 0)
        return; // never on the wire, or nothing to wait for
    const double seconds = double(busTimeUs) / 1e6;
    std::size_t bucket = 0;
    while (bucket < Buckets.size() && seconds > Buckets[bucket])
        ++bucket;
    ++bucketCount[bucket];
    ++timedCount;
    timedSumSeconds += seconds;
}

QByteArray MetricsCollector::text() const
{
    int listed = 0;
    int zombies = 0;
    for (int i = 0; i < controller->monitorCount(); ++i) {
        const CMonitor *m = controller->monitorAt(i);
        if (!m)
            continue;
        ++listed;
        const bool zombie = m->state & CMonitor::StateZombie;
        if (zombie)
            ++zombies;
    }

    ExpositionWriter w;
    w.family("kc_build_info", "gauge", QStringLiteral("The controller's version, as a label; always 1."));
    w.sample("kc_build_info", qint64(1), {{"version", QStringLiteral(KC_VERSION)}});

    w.family("kc_monitors", "gauge", QStringLiteral("Monitors in the list."));
    w.sample("kc_monitors", qint64(listed));
    w.family("kc_monitors_alarming", "gauge", QStringLiteral("Listed monitors with an alarm present, acknowledged or not."));
    w.sample("kc_monitors_alarming", qint64(controller->alarmCount()));
    w.family("kc_monitors_acknowledged", "gauge", QStringLiteral("Monitors in alarm whose every alarm is acknowledged."));
    w.sample("kc_monitors_acknowledged", qint64(controller->acknowledgedAlarmCount()));
    w.family("kc_monitors_zombie", "gauge", QStringLiteral("Listed monitors that stopped answering."));
    w.sample("kc_monitors_zombie", qint64(zombies));

    w.family("kc_monitor_up", "gauge", QStringLiteral("Per listed monitor: 1 while it answers, 0 while it is a zombie."));
    for (int i = 0; i < controller->monitorCount(); ++i) {
        const CMonitor *m = controller->monitorAt(i);
        if (m)
            w.sample("kc_monitor_up", qint64(m->state & CMonitor::StateZombie ? 0 : 1),
                     {{"address", QString::number(m->address)}, {"serial", m->serialNumber}});
    }

    const MController::LinkState link = controller->linkState();
    w.family("kc_link_up", "gauge", QStringLiteral("1 while the serial link is OK, 0 while the port is lost or the bus is silent."));
    w.sample("kc_link_up", qint64(link == MController::LinkOk ? 1 : 0));
    w.family("kc_link_state", "gauge", QStringLiteral("The serial link's state: 1 for the state in force, 0 for the others."));
    for (MController::LinkState state : {MController::LinkOk, MController::PortLost, MController::BusSilent})
        w.sample("kc_link_state", qint64(state == link ? 1 : 0), {{"state", QLatin1String(linkStateName(state))}});

    w.family("kc_bus_exchanges_total", "counter", QStringLiteral("Bus exchanges finished, by command kind."));
    for (int k = 0; k < KindCount; ++k)
        w.sample("kc_bus_exchanges_total", qint64(exchangeCount[k]), {{"kind", kindName(Kind(k))}});
    w.family("kc_bus_exchange_failures_total", "counter", QStringLiteral("Bus exchanges that failed (no reply, a bad reply, or the port gone), by command kind."));
    for (int k = 0; k < KindCount; ++k)
        w.sample("kc_bus_exchange_failures_total", qint64(failureCount[k]), {{"kind", kindName(Kind(k))}});

    w.family("kc_bus_exchange_seconds", "histogram",
             QStringLiteral("Time on the bus of each exchange that reached the wire, from the first request byte to the last reply byte or the time-out."));
    quint64 cumulative = 0;
    for (std::size_t b = 0; b < Buckets.size(); ++b) {
        cumulative += bucketCount[b];
        w.sample("kc_bus_exchange_seconds_bucket", qint64(cumulative), {{"le", QString::fromLatin1(ExpositionWriter::number(Buckets[b]))}});
    }
    cumulative += bucketCount[Buckets.size()];
    w.sample("kc_bus_exchange_seconds_bucket", qint64(cumulative), {{"le", QStringLiteral("+Inf")}});
    w.sample("kc_bus_exchange_seconds_sum", timedSumSeconds);
    w.sample("kc_bus_exchange_seconds_count", qint64(timedCount));
    return w.text();
}
