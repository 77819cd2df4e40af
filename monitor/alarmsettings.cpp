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
    return enabledKinds()[kind];
}

Enables enabledKinds()
{
    QSettings settings = openSettings();
    settings.beginGroup(QLatin1String(Group));
    Enables enabled{};
    for (int kind = 0; kind < AlarmKinds::KindCount; ++kind) {
        const AlarmKinds::AlarmKind &k = AlarmKinds::kinds[kind];
        enabled[kind] = settings.value(QLatin1String(k.key), k.enabledByDefault).toBool();
    }
    return enabled;
}

int tone()
{
    bool isNumber = false;
    const int value = alarmValue(ToneKey, int(ToneOnce)).toInt(&isNumber);
    // Any other value rings once, a word typed by hand included: a damaged
    // setting must not silence the alarm.
    return isNumber && value >= ToneOff && value <= ToneContinue ? value : int(ToneOnce);
}

int ackMinutes()
{
    bool isNumber = false;
    const int value = alarmValue(AckMinutesKey, 0).toInt(&isNumber);
    return isNumber && value > 0 ? qMin(value, MaxAckMinutes) : 0;
}

bool linkAlarmEnabled()
{
    return alarmValue(AlarmKinds::LinkKey, AlarmKinds::LinkEnabledByDefault).toBool();
}

} // namespace AlarmSettings
