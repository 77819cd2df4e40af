#ifndef EVENTLOOPGAPMETER_H
#define EVENTLOOPGAPMETER_H

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

// How long the event loop of the thread that owns the meter went without
// turning. A 1 ms timer fires on every pass of a loop that keeps turning; the
// longest interval between two consecutive timeouts is the longest the loop
// was held up: by a slot, by a lock, or by anything else that blocked it.
class EventLoopGapMeter
{
public:
    EventLoopGapMeter();
    Q_DISABLE_COPY(EventLoopGapMeter)

    // Starts afresh; the first gap runs from here to the first timeout.
    void start();
    void stop();

    double longestGapMs() const { return longest / 1e6; }
    // Milliseconds from start() to the end of the longest gap.
    double longestGapEndMs() const { return longestEnd / 1e6; }
    int ticks() const { return count; }
    // "longest gap 12.3 ms, ending 4.5 s after the start, 3000 ticks"
    QString summary() const;

private:
    void tick();

    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestEnd = 0;
    int count = 0;
};

#endif // EVENTLOOPGAPMETER_H
