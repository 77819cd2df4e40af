#include "inventory/inventorychange.h"

namespace {

QString word(const QString &text)
{
    bool plain = !text.isEmpty();
    for (QChar c : text)
        plain = plain && !c.isSpace() && c.isPrint() && c != QLatin1Char('"') && c != QLatin1Char('\\');
    if (plain)
        return text;
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + c;
        else if (c == QLatin1Char(' ') || (c.isPrint() && !c.isSpace()))
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out + QLatin1Char('"');
}

} // namespace

QString InventoryChange::text() const
{
    const auto line = [this](char sign, const QString &what) {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(QString(QLatin1Char(sign)), QString::number(address), word(serialNumber), what);
    };
    const auto firmware = [this](const char *how) {
        return QStringLiteral("firmware %1 %2 -> %3")
            .arg(QLatin1String(how), word(oldFirmware), word(newFirmware));
    };
    switch (kind) {
    case Gone: return line('-', QStringLiteral("gone"));
    case New: return line('+', QStringLiteral("new"));
    case Moved: return line('~', QStringLiteral("moved from %1").arg(oldAddress));
    case Upgraded: return line('~', firmware("upgraded"));
    case Downgraded: return line('~', firmware("downgraded"));
    case FirmwareChanged: return line('~', firmware("changed"));
    }
    return QString();
}

bool InventoryChange::operator<(const InventoryChange &other) const
{
    if (address != other.address)
        return address < other.address;
    if (kind != other.kind)
        return kind < other.kind;
    return serialNumber < other.serialNumber;
}

bool InventoryChange::operator==(const InventoryChange &other) const
{
    return kind == other.kind && address == other.address && oldAddress == other.oldAddress
        && serialNumber == other.serialNumber && oldFirmware == other.oldFirmware
        && newFirmware == other.newFirmware;
}
