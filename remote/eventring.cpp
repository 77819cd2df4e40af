#include "remote/eventring.h"

qint64 EventRing::add(const QString &line)
{
    events.push_back({++last, line});
    if (events.size() > size_t(Capacity))
        events.pop_front();
    return last;
}

QList<EventRing::Event> EventRing::since(qint64 since) const
{
    QList<Event> out;
    if (events.empty() || since >= last)
        return out;
    // Ids are consecutive, so the first wanted one sits at a known place.
    const qint64 first = events.front().id;
    const size_t start = since < first ? 0 : size_t(since - first + 1);
    out.reserve(int(events.size() - start));
    for (size_t i = start; i < events.size(); ++i)
        out << events[i];
    return out;
}

QList<EventRing::Event> EventRing::newest(int count) const
{
    return since(qMax<qint64>(0, last - count));
}
