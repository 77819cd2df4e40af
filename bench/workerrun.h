#ifndef WORKERRUN_H
#define WORKERRUN_H

#include "bench/benchresult.h"

// The transport's worker polling a list of monitors, with the supervisor
// taking every finished command on the main thread as the application does.
// Timed from inside the worker: the hand-over of each command is stamped
// where it is emitted.
class WorkerRun
{
public:
    // Polls monitors 1..monitorCount for about durationMs after a short
    // warm-up, with the settings file of the working directory; false if the
    // bus does not start.
    static bool run(int monitorCount, int durationMs, BenchResult *result);
    // Lets the supervisor fetch whatever monitors 1..monitorCount have to
    // report (new monitors ask for their alarm and every item), so that
    // later runs time status polls alone; false if that took longer than
    // timeoutMs.
    static bool settle(int monitorCount, int timeoutMs);
};

#endif // WORKERRUN_H
