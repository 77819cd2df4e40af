#include "monitor/startupsettings.h"

#include "monitor/settingsfile.h"

namespace StartupSettings {

namespace {
QString searchPath()
{
    return QLatin1String(Group) + QLatin1Char('/') + QLatin1String(SearchKey);
}
} // namespace

bool searchAtStart()
{
    const QString value = openSettings().value(searchPath()).toString().trimmed();
    return value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || value == QLatin1String("1");
}

bool searchStored()
{
    return openSettings().contains(searchPath());
}

void writeSearchAtStart(bool on)
{
    QSettings settings = openSettings();
    settings.setValue(searchPath(), on);
    settings.sync();
}

} // namespace StartupSettings
