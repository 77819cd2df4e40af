#ifndef ALARMSTATUS_H
#define ALARMSTATUS_H

#include "monitor/alarmkinds.h"
#include "monitor/alarmsettings.h"

#include <QColor>
#include <QPixmap>
#include <QString>

class CMonitor;

// What every view, the status bar and the log agree "in alarm" means. An
// alarm counts only when the monitor is powered and the alarm kind is enabled
// in the settings, which are read at every test.

enum MonitorStatus {
    StatusAlarm = 0,
    StatusPowerOff = 1,
    StatusNormal = 2,
    StatusZombie = 3,
};

// Whether the alarm of this kind counts now.
bool alarmTest(const CMonitor &m, AlarmKinds::Kind kind);
// The same with the enables read beforehand, for a test over many monitors.
bool alarmTest(const CMonitor &m, AlarmKinds::Kind kind, const AlarmSettings::Enables &enabled);
bool isNoSignal(const CMonitor &m);
bool isAudioMute(const CMonitor &m);
bool isBlackField(const CMonitor &m); // hidden by no signal
bool isBlueField(const CMonitor &m);  // hidden by no signal
bool isIreAlarm(const CMonitor &m);
bool isRgbAlarm(const CMonitor &m);

bool hasAlarm(const CMonitor &m);
bool hasAlarm(const CMonitor &m, const AlarmSettings::Enables &enabled);
int statusCode(const CMonitor &m);
QColor statusColor(const CMonitor &m);
QString statusText(const CMonitor &m);
// The same with the enables read beforehand, for many monitors at a time.
int statusCode(const CMonitor &m, const AlarmSettings::Enables &enabled);
QColor statusColor(const CMonitor &m, const AlarmSettings::Enables &enabled);
QString statusText(const CMonitor &m, const AlarmSettings::Enables &enabled);
// 96 x 32: the icons of the active alarms left to right, else a power icon.
QPixmap statusImage(const CMonitor &m);
// The same with a tick in its lower right corner: alarms the operator has
// acknowledged.
QPixmap acknowledgedStatusImage(const CMonitor &m);

#endif // ALARMSTATUS_H
