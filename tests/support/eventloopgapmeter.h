#ifndef EVENTLOOPGAPMETER_H
#define EVENTLOOPGAPMETER_H

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

// How long the event loop of the thread that owns the meter went without
// turning. A 1 ms timer fires on every pass of a loop that keeps turning; the
// longest interval between two consecutive timeouts is the longest the loop
// was held up.
//
// On a machine shared with builds, a thread that is ready to run may still
// wait for a core. The kernel counts that time (schedstat), and the meter
// takes it off each gap: what remains is the time the thread was held up by
// itself, in a slot, on a lock, asleep or on a file, which is what a test can
// bound without failing whenever the machine is busy. Where the kernel keeps
// no such count, nothing is taken off.
class EventLoopGapMeter
{
public:
    EventLoopGapMeter();
    ~EventLoopGapMeter();
    Q_DISABLE_COPY(EventLoopGapMeter)

    // Starts afresh; the first gap runs from here to the first timeout.
    void start();
    void stop();

    // The longest interval between two passes, as the clock saw it.
    double longestGapMs() const { return longest.gapNs / 1e6; }
    // The longest interval less the time the thread waited for a core.
    double longestHeldMs() const { return longestHeld.heldNs() / 1e6; }
    int ticks() const { return count; }
    // "longest gap 105.5 ms (91.0 waiting for a core, 2.1 on it) at 0.2 s;
    // longest held 24.0 ms, in a gap of 30.1 ms (...) at 1.3 s; 345 ticks"
    QString summary() const;

private:
    struct Sample
    {
        qint64 clockNs = 0;
        qint64 cpuNs = 0;
        qint64 waitNs = 0;
    };
    struct Gap
    {
        qint64 gapNs = 0;
        qint64 cpuNs = 0;
        qint64 waitNs = 0;
        qint64 endNs = 0;
        qint64 heldNs() const { return gapNs - waitNs; }
    };

    void tick();
    Sample sample() const;
    static QString describe(const Gap &gap);

    QTimer timer;
    QElapsedTimer clock;
    int schedstat = -1; // this thread's scheduler counters
    Sample last;
    Gap longest;
    Gap longestHeld;
    int count = 0;
};

#endif // EVENTLOOPGAPMETER_H
