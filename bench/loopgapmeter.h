#ifndef LOOPGAPMETER_H
#define LOOPGAPMETER_H

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

// The longest time the main thread's event loop went without coming round:
// a 1 ms timer notes how long it has been since it last fired. Whatever
// blocks the loop (a slow slot, a model reset, a file write) shows up as a
// gap well above 1 ms.
class LoopGapMeter : public QObject
{
    Q_OBJECT

public:
    explicit LoopGapMeter(QObject *parent = nullptr);

    void start();
    void stop();
    // Starts a new phase: the longest gap so far is kept as the previous
    // phase's, and the current one begins at zero.
    void newPhase();

    double longestMs() const { return longest; }
    double longestAtS() const { return longestAt; } // seconds since start()
    double previousPhaseLongestMs() const { return previousLongest; }
    int gapsOver(int ms) const;
    qint64 ticks() const { return count; }
    // The first gaps over 50 ms, with when they ended (s since start()).
    // cpuMs: what the main thread itself ran within the gap; the rest it
    // waited, for a core or for a lock.
    struct Gap {
        double atS;
        double ms;
        double cpuMs;
    };
    const QList<Gap> &longGaps() const { return gaps; }

private:
    void tick();

    QTimer timer;
    QElapsedTimer clock;
    qint64 lastNs = 0;
    qint64 lastCpuNs = 0;
    qint64 count = 0;
    double longest = 0;
    double longestAt = 0;
    double previousLongest = 0;
    // Gaps over 20, 50 and 100 ms, this phase.
    int over20 = 0;
    int over50 = 0;
    int over100 = 0;
    QList<Gap> gaps; // all phases
};

#endif // LOOPGAPMETER_H
