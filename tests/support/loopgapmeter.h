#ifndef LOOPGAPMETER_H
#define LOOPGAPMETER_H

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// How long the main thread's event loop went without coming round: a 1 ms
// timer notes the time since it last fired. Each gap is split, from the
// kernel's account of the thread, into the time the thread ran, the time it
// was ready but waited for a core (other processes on a loaded machine), and
// the rest, which it slept or was blocked. A stall is a gap less its wait for
// a core: what the application itself held the loop up by, running or
// blocked (a slow slot, a model reset, a file write, a lock).
class LoopGapMeter : public QObject
{
    Q_OBJECT

public:
    struct Gap {
        double atS = 0;  // when it ended, seconds since start()
        double ms = 0;   // wall time
        double cpuMs = 0;   // of it, the thread ran
        double queueMs = 0; // of it, the thread was ready and waited for a core
        double stallMs() const { return ms - queueMs; }
        // "gap of 30.1 ms at 1.3 s (ran 2.0 ms, waited 4.1 ms for a core,
        // stalled 26.0 ms)"
        QString describe() const;
    };

    explicit LoopGapMeter(QObject *parent = nullptr);
    ~LoopGapMeter() override;

    void start();
    void stop();
    // Starts a new phase: the longest gap and stall begin again at zero.
    void newPhase();

    // This phase: the longest wall-time gap and the longest stall.
    const Gap &longestGap() const { return longest; }
    const Gap &longestStall() const { return longestStallGap; }
    int gapsOver(double ms) const;   // wall time, this phase
    int stallsOver(double ms) const; // this phase
    qint64 ticks() const { return count; }
    // The longest gap and the longest stall of this phase, for a report.
    QString summary() const;
    // The first gaps over 50 ms of wall time, all phases.
    const QList<Gap> &longGaps() const { return gaps; }

private:
    void tick();
    // The thread's time on a core and waiting on a run queue, in ns.
    bool readSchedStat(qint64 *runNs, qint64 *queueNs) const;

    QTimer timer;
    QElapsedTimer clock;
    int statFd = -1;
    qint64 lastNs = 0;
    qint64 lastRunNs = 0;
    qint64 lastQueueNs = 0;
    qint64 count = 0;
    Gap longest;
    Gap longestStallGap;
    QList<Gap> phaseGaps; // over 20 ms, this phase, at most a few thousand kept
    QList<Gap> gaps;
};

#endif // LOOPGAPMETER_H
