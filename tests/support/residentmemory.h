#ifndef RESIDENTMEMORY_H
#define RESIDENTMEMORY_H

#include <QtGlobal>

// This process's resident memory (VmRSS) in kB, or -1 if it cannot be read.
qint64 residentKb();

#endif // RESIDENTMEMORY_H
