#ifndef CPUCLOCK_H
#define CPUCLOCK_H

// CPU time used by this process so far, user and system, in seconds.
double cpuSeconds();

#endif // CPUCLOCK_H
