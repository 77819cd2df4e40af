#ifndef EVENTRING_H
#define EVENTRING_H

#include <QList>
#include <QString>

#include <deque>

// The newest lines of the event log, numbered from 1 in the order logged.
class EventRing
{
public:
    static constexpr int Capacity = 10000;

    struct Event {
        qint64 id;
        QString line;
    };

    // Returns the line's id.
    qint64 add(const QString &line);
    qint64 lastId() const { return last; }
    // The kept events with an id over `since`, oldest first.
    QList<Event> since(qint64 since) const;
    // The newest `count` kept events, oldest first.
    QList<Event> newest(int count) const;
    int size() const { return int(events.size()); }

private:
    std::deque<Event> events;
    qint64 last = 0;
};

#endif // EVENTRING_H
