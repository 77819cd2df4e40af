#include "tally/tallysettings.h"

#include "monitor/settingsfile.h"

#include <QHostAddress>
#include <QSettings>
#include <QStringList>

namespace {

// An INI value with an unquoted comma comes back as a list; the operator
// meant the line as written, so it is joined again rather than lost (an
// allow list read as empty would let everyone in).
QString textOf(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

bool readBool(const QSettings &file, const char *key, bool fallback)
{
    const QVariant value = file.value(QLatin1String(key));
    if (!value.isValid())
        return fallback;
    const QString text = textOf(value).trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return fallback;
}

// A decimal number within min..max, else nothing.
bool parseNumber(const QString &text, int min, int max, int &out)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10);
    if (!ok || n < min || n > max)
        return false;
    out = n;
    return true;
}

int readNumber(const QSettings &file, const char *key, int min, int max, int fallback)
{
    int n = fallback;
    const QVariant value = file.value(QLatin1String(key));
    if (value.isValid() && parseNumber(textOf(value), min, max, n))
        return n;
    return fallback;
}

} // namespace

TallySettings::TallySettings()
    : tsl5(DefaultTsl5),
      tsl31(DefaultTsl31),
      tsl5Port(DefaultTsl5Port),
      tsl31Port(DefaultTsl31Port),
      screen(DefaultScreen),
      bind(QLatin1String(DefaultBind))
{
}

TallySettings TallySettings::read()
{
    TallySettings s;
    QSettings file = openSettings();
    file.beginGroup(QLatin1String(Group));
    s.tsl5 = readBool(file, Tsl5Key, s.tsl5);
    s.tsl31 = readBool(file, Tsl31Key, s.tsl31);
    s.tsl5Port = quint16(readNumber(file, Tsl5PortKey, 1, 0xFFFF, s.tsl5Port));
    s.tsl31Port = quint16(readNumber(file, Tsl31PortKey, 1, 0xFFFF, s.tsl31Port));
    s.screen = quint16(readNumber(file, ScreenKey, 0, MaxScreen, s.screen));
    const QString bind = textOf(file.value(QLatin1String(BindKey))).trimmed();
    if (!QHostAddress(bind).isNull())
        s.bind = bind;
    s.allow = textOf(file.value(QLatin1String(AllowKey), s.allow)).trimmed();

    file.beginGroup(QLatin1String(MapGroup));
    const QStringList keys = file.childKeys();
    for (const QString &key : keys) {
        const QStringList parts = key.split(QLatin1Char('.'));
        int keyScreen = 0;
        int index = 0;
        int address = 0;
        if (parts.size() == 2 && parseNumber(parts.at(0), 0, MaxScreen, keyScreen)
            && parseNumber(parts.at(1), 0, 0xFFFE, index)
            && parseNumber(textOf(file.value(key)), 0, 0xFFFF, address))
            s.map.insert(TallyMap::Key(quint16(keyScreen), quint16(index)), address);
    }
    file.endGroup();
    file.endGroup();
    return s;
}

void TallySettings::write() const
{
    QSettings file = openSettings();
    file.beginGroup(QLatin1String(Group));
    file.setValue(QLatin1String(Tsl5Key), tsl5);
    file.setValue(QLatin1String(Tsl31Key), tsl31);
    file.setValue(QLatin1String(Tsl5PortKey), tsl5Port);
    file.setValue(QLatin1String(Tsl31PortKey), tsl31Port);
    file.setValue(QLatin1String(ScreenKey), screen);
    file.setValue(QLatin1String(BindKey), bind);
    file.setValue(QLatin1String(AllowKey), allow);
    file.remove(QLatin1String(MapGroup));
    file.beginGroup(QLatin1String(MapGroup));
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        file.setValue(QStringLiteral("%1.%2").arg(it.key().first).arg(it.key().second), it.value());
    file.endGroup();
    file.endGroup();
    file.sync();
}
