#include "supervision/alarmacknowledgement.h"

#include "monitor/alarmstatus.h"

AlarmAcknowledgement::Kinds AlarmAcknowledgement::presentKinds(const CMonitor &m,
                                                               const AlarmSettings::Enables &enabled)
{
    Kinds kinds = 0;
    for (int kind = 0; kind < AlarmKinds::KindCount; ++kind) {
        if (alarmTest(m, AlarmKinds::Kind(kind), enabled))
            kinds |= Kinds(1) << kind;
    }
    return kinds;
}

bool AlarmAcknowledgement::add(Entry &entry, Kinds kinds, qint64 now, int minutes)
{
    if ((kinds & ~entry.kinds) == 0)
        return false;
    entry.kinds |= kinds;
    entry.expiresAt = minutes > 0 ? now + qint64(minutes) * 60000 : -1;
    return true;
}

bool AlarmAcknowledgement::acknowledge(quint8 address, Kinds present, qint64 now, int minutes)
{
    if (!present)
        return false;
    return add(entries[address], present, now, minutes);
}

bool AlarmAcknowledgement::acknowledgeLink(qint64 now, int minutes)
{
    return add(link, 1, now, minutes);
}

bool AlarmAcknowledgement::keepPresent(quint8 address, Kinds present)
{
    const auto it = entries.find(address);
    if (it == entries.end() || (it->kinds & ~present) == 0)
        return false;
    it->kinds &= present;
    if (!it->kinds)
        entries.erase(it);
    return true;
}

bool AlarmAcknowledgement::remove(quint8 address)
{
    return entries.remove(address) > 0;
}

bool AlarmAcknowledgement::clearLink()
{
    const bool had = linkAcknowledged();
    link = Entry();
    return had;
}

bool AlarmAcknowledgement::clear()
{
    const bool had = !isEmpty();
    entries.clear();
    link = Entry();
    return had;
}

QList<quint8> AlarmAcknowledgement::expire(qint64 now, bool *linkExpired)
{
    const auto due = [now](const Entry &entry) { return entry.expiresAt >= 0 && entry.expiresAt <= now; };
    QList<quint8> expired;
    for (auto it = entries.begin(); it != entries.end();) {
        if (due(*it)) {
            expired << it.key();
            it = entries.erase(it);
        } else {
            ++it;
        }
    }
    *linkExpired = linkAcknowledged() && due(link);
    if (*linkExpired)
        link = Entry();
    return expired;
}

qint64 AlarmAcknowledgement::nextExpiry() const
{
    qint64 next = linkAcknowledged() ? link.expiresAt : -1;
    for (const Entry &entry : entries) {
        if (entry.expiresAt >= 0 && (next < 0 || entry.expiresAt < next))
            next = entry.expiresAt;
    }
    return next;
}

bool AlarmAcknowledgement::covers(quint8 address, Kinds present) const
{
    return present && (present & ~acknowledgedKinds(address)) == 0;
}
