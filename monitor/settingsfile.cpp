#include "monitor/settingsfile.h"

QSettings openSettings()
{
    return QSettings(QLatin1String(SettingsFileName), QSettings::IniFormat);
}
