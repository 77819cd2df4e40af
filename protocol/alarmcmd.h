#ifndef ALARMCMD_H
#define ALARMCMD_H

#include "protocol/rscmd.h"

// Fetches the alarm byte: request "sync, 0x82", reply "sync, alarm byte".
class AlarmCmd : public RSCmd
{
public:
    explicit AlarmCmd(quint8 address);

    // True when a valid alarm byte differs from the stored one. An invalid
    // byte clears the stored alarm and leaves the alarm-due flag set.
    bool apply(CMonitor *monitor) override;

    // Only bits 0-4, and never the impossible pairs 0+2, 1+4 or 0+1+3.
    static bool isValidAlarmByte(int value);
};

#endif // ALARMCMD_H
