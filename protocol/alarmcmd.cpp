#include "protocol/alarmcmd.h"

#include "monitor/cmonitor.h"

AlarmCmd::AlarmCmd(quint8 address)
    : RSCmd(address, CodeAlarm, 2)
{
}

bool AlarmCmd::isValidAlarmByte(int value)
{
    return value >= 0 && value < 32
        && (value & 0x05) != 0x05  // blue field with IRE cannot both be set
        && (value & 0x12) != 0x12  // black field with RGB
        && (value & 0x0B) != 0x0B; // no signal with audio mute
}

bool AlarmCmd::apply(CMonitor *monitor)
{
    const qint32 old = monitor->alarm;
    const quint8 value = replyByte(1);
    if (!isValidAlarmByte(value)) {
        monitor->alarm = 0;
        return false;
    }
    monitor->alarm = value;
    monitor->state &= ~quint32(CMonitor::StateAlarmDue);
    return value != old;
}
