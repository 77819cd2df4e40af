#ifndef UPDATECMD_H
#define UPDATECMD_H

#include "protocol/rscmd.h"

// Asks which items changed: request "sync, 0x83", reply "sync, 1 if changed,
// mask of pendingQueries bits".
class UpdateCmd : public RSCmd
{
public:
    explicit UpdateCmd(quint8 address);

    bool apply(CMonitor *monitor) override; // always false
};

#endif // UPDATECMD_H
