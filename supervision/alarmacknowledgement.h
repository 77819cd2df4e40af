#ifndef ALARMACKNOWLEDGEMENT_H
#define ALARMACKNOWLEDGEMENT_H

#include "monitor/alarmsettings.h"

#include <QHash>
#include <QList>

class CMonitor;

// What the operator has acknowledged: per bus address the alarm kinds that
// were present when he did, and whether the link alarm was. Anything outside
// these sets is a new alarm and sounds the tone. A kind that is no longer
// present drops out, so that its return is a new alarm; an acknowledgement
// made with a duration drops out whole once the duration has passed, and
// the alarms still there sound again. Times are ms of one monotonic clock
// handed in by the caller: nothing here runs by itself or reads settings.
class AlarmAcknowledgement
{
public:
    using Kinds = quint32; // 1 << AlarmKinds::Kind for each kind

    // The kinds that count as alarms on this monitor now (none while it is
    // off or a zombie).
    static Kinds presentKinds(const CMonitor &m, const AlarmSettings::Enables &enabled);

    // Adds the present kinds to those acknowledged at the address. Returns
    // whether any of them was new; only then does the duration (minutes,
    // 0 = until the alarm clears) start again, for all of them, at now.
    bool acknowledge(quint8 address, Kinds present, qint64 now, int minutes);
    // The same for the link alarm, which lasts until the link state changes
    // (clearLink) or the duration has passed.
    bool acknowledgeLink(qint64 now, int minutes);

    // Keeps only those of the address's kinds that are still present;
    // returns whether any dropped.
    bool keepPresent(quint8 address, Kinds present);
    // Each returns whether there was anything to forget.
    bool remove(quint8 address);
    bool clearLink();
    bool clear();

    // Forgets what has run out by now: returns those addresses, and sets
    // *linkExpired when the link's acknowledgement ran out.
    QList<quint8> expire(qint64 now, bool *linkExpired);
    // When the next acknowledgement runs out; -1 when none will.
    qint64 nextExpiry() const;

    Kinds acknowledgedKinds(quint8 address) const { return entries.value(address).kinds; }
    // Whether there are present kinds and every one of them is acknowledged.
    bool covers(quint8 address, Kinds present) const;
    bool linkAcknowledged() const { return link.kinds != 0; }
    bool isEmpty() const { return entries.isEmpty() && !linkAcknowledged(); }

private:
    struct Entry
    {
        Kinds kinds = 0;
        qint64 expiresAt = -1; // -1: when the alarm clears
    };
    static bool add(Entry &entry, Kinds kinds, qint64 now, int minutes);

    QHash<quint8, Entry> entries; // none with empty kinds
    Entry link;                   // kinds 1 while acknowledged
};

#endif // ALARMACKNOWLEDGEMENT_H
