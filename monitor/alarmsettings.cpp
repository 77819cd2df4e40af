#include "alarmsettings.h"

#include "settingsfile.h"

#include <QSettings>

namespace AlarmSettings {

namespace {
struct KindSetting {
    const char *key;
    bool enabledByDefault;
};
// Indexed by Kind. No signal, IRE and RGB are off unless the operator asks.
const std::array<KindSetting, KindCount> kindSettings = {{
    {"nosignal", false},
    {"mute", true},
    {"black", true},
    {"blue", true},
    {"ire", false},
    {"rgb", false},
}};
} // namespace

const char *key(Kind kind)
{
    return kindSettings[kind].key;
}

bool defaultEnabled(Kind kind)
{
    return kindSettings[kind].enabledByDefault;
}

bool isEnabled(Kind kind)
{
    QSettings settings(QLatin1String(SettingsFileName), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(Group));
    return settings.value(QLatin1String(key(kind)), defaultEnabled(kind)).toBool();
}

int tone()
{
    QSettings settings(QLatin1String(SettingsFileName), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(Group));
    return settings.value(QLatin1String(ToneKey), int(ToneOnce)).toInt();
}

bool linkAlarmEnabled()
{
    QSettings settings(QLatin1String(SettingsFileName), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(Group));
    return settings.value(QLatin1String(LinkKey), true).toBool();
}

} // namespace AlarmSettings
