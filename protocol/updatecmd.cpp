#include "protocol/updatecmd.h"

#include "monitor/cmonitor.h"

UpdateCmd::UpdateCmd(quint8 address)
    : RSCmd(address, CodeUpdate, 3)
{
}

bool UpdateCmd::apply(CMonitor *monitor)
{
    monitor->state &= ~quint32(CMonitor::StateUpdateDue);
    if (replyByte(1) == 1)
        monitor->pendingQueries |= replyByte(2);
    return false;
}
