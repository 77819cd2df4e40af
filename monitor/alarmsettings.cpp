#include "monitor/alarmsettings.h"

#include "monitor/settingsfile.h"

namespace AlarmSettings {

namespace {
QVariant alarmValue(const char *key, const QVariant &defaultValue)
{
    QSettings settings = openSettings();
    settings.beginGroup(QLatin1String(Group));
    return settings.value(QLatin1String(key), defaultValue);
}
} // namespace

bool isEnabled(Kind kind)
{
    const AlarmKinds::AlarmKind &k = AlarmKinds::kinds[kind];
    return alarmValue(k.key, k.enabledByDefault).toBool();
}

int tone()
{
    return alarmValue(ToneKey, int(ToneOnce)).toInt();
}

bool linkAlarmEnabled()
{
    return alarmValue(AlarmKinds::LinkKey, AlarmKinds::LinkEnabledByDefault).toBool();
}

} // namespace AlarmSettings
