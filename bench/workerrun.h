#ifndef WORKERRUN_H
#define WORKERRUN_H

#include "bench/benchresult.h"

// The transport's worker polling a list of monitors, timed from inside the
// worker: the hand-over of each command is stamped where it is emitted.
class WorkerRun
{
public:
    // Polls monitors 1..monitorCount for about durationMs after a short
    // warm-up, with the settings file of the working directory; false if the
    // bus does not start.
    static bool run(int monitorCount, int durationMs, BenchResult *result);
};

#endif // WORKERRUN_H
