#include "remote/remotesettings.h"

#include "monitor/settingsfile.h"

#include <QHostAddress>
#include <QSettings>

namespace {

// "true" or "false" (also 1 and 0) as QSettings writes them; anything else
// is named rather than read as true, as QVariant would.
bool readBool(const QSettings &settings, const char *key, bool fallback, QStringList *unreadable)
{
    const QVariant value = settings.value(QLatin1String(key));
    if (!value.isValid())
        return fallback;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    *unreadable << QStringLiteral("\"%1\" must be true or false, not \"%2\".").arg(QLatin1String(key), value.toString());
    return fallback;
}

} // namespace

RemoteSettings RemoteSettings::read()
{
    QSettings settings = openSettings();
    settings.beginGroup(QLatin1String(Group));
    RemoteSettings s;
    s.enabled = readBool(settings, "enabled", s.enabled, &s.unreadable);
    s.bind = settings.value(QStringLiteral("bind"), s.bind).toString().trimmed();
    bool ok = false;
    const QString portText = settings.value(QStringLiteral("port"), s.port).toString().trimmed();
    const int port = portText.toInt(&ok);
    s.port = ok ? port : -1; // validate() names it
    s.token = settings.value(QStringLiteral("token"), s.token).toString();
    s.control = readBool(settings, "control", s.control, &s.unreadable);
    s.openread = readBool(settings, "openread", s.openread, &s.unreadable);
    return s;
}

void RemoteSettings::write() const
{
    QSettings settings = openSettings();
    settings.beginGroup(QLatin1String(Group));
    settings.setValue(QStringLiteral("enabled"), enabled);
    settings.setValue(QStringLiteral("bind"), bind);
    settings.setValue(QStringLiteral("port"), port);
    settings.setValue(QStringLiteral("token"), token);
    settings.setValue(QStringLiteral("control"), control);
    settings.setValue(QStringLiteral("openread"), openread);
}

QStringList RemoteSettings::validate() const
{
    QStringList problems = unreadable;
    if (port < 1 || port > 65535)
        problems << QStringLiteral("The port must be a number from 1 to 65535.");
    QHostAddress address;
    if (!address.setAddress(bind))
        problems << QStringLiteral("The bind address \"%1\" is no IP address.").arg(bind);
    if (control && token.isEmpty())
        problems << QStringLiteral("Control needs a token: set one or switch control off.");
    if (!openread && token.isEmpty())
        problems << QStringLiteral("Reading with a token needs a token: set one or open reading.");
    return problems;
}

bool RemoteSettings::operator==(const RemoteSettings &o) const
{
    return enabled == o.enabled && bind == o.bind && port == o.port && token == o.token && control == o.control
        && openread == o.openread;
}
