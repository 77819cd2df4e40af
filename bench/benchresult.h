#ifndef BENCHRESULT_H
#define BENCHRESULT_H

#include <QList>

#include <ctime>

// What one timed run of a polling loop produced: how many exchanges, in how
// much wall and CPU time, and the time each exchange cycle took (from one
// completed exchange to the next).
class BenchResult
{
public:
    int exchanges = 0;
    int failures = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    // CPU of the thread that runs the exchanges (the bare loop, or the
    // transport's worker) and of the main thread taking each finished
    // command (none for the bare loop).
    double loopCpuSeconds = 0;
    double receiverCpuSeconds = 0;
    QList<double> cycleMs;

    double exchangesPerSecond() const;
    double cpuShare() const; // CPU seconds per second of polling
    // CPU microseconds per exchange on each side.
    double loopUsPerExchange() const;
    double receiverUsPerExchange() const;
    double medianMs() const;
    double p99Ms() const;

    // The median of each figure over several runs, figure by figure.
    static BenchResult medianOf(const QList<BenchResult> &runs);
    static double median(QList<double> values);
    static double percentile(QList<double> values, double p);
    // CPU seconds this process has used so far, user and system.
    static double cpuNow();
    // CPU seconds of the calling thread, or of the thread with that clock.
    static double threadCpuNow();
    static double threadCpuNow(clockid_t clock);

private:
    // Figures of a median result, which has no cycle list of its own.
    double m_medianMs = -1;
    double m_p99Ms = -1;
    double m_rate = -1;
    double m_cpu = -1;
    double m_loopUs = -1;
    double m_receiverUs = -1;
};

#endif // BENCHRESULT_H
