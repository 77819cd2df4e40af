#include "inventory/inventoryjson.h"

#include "inventory/inventory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <climits>
#include <cmath>
#include <utility>

namespace {

// Keys, shared by writer and reader.
const QString FormatKey = QStringLiteral("format");
const QString VersionKey = QStringLiteral("version");
const QString ExportedKey = QStringLiteral("exported");
const QString PortKey = QStringLiteral("port");
const QString ApplicationKey = QStringLiteral("application");
const QString MonitorsKey = QStringLiteral("monitors");
const QString AddressKey = QStringLiteral("address");
const QString SerialKey = QStringLiteral("serial");
const QString FirmwareKey = QStringLiteral("firmware");
const QString BoardsKey = QStringLiteral("boards");
const QString InputKey = QStringLiteral("input");
const QString ModeKey = QStringLiteral("mode");
const QString StateKey = QStringLiteral("state");
const QString LastGoodReplyKey = QStringLiteral("lastGoodReply");
const QString MedianKey = QStringLiteral("medianExchangeUs");
const QString WorstKey = QStringLiteral("worstExchangeUs");
const QString FailuresKey = QStringLiteral("failuresSinceSearch");
const QString EpisodesKey = QStringLiteral("zombieEpisodes");
const QString ZombieMsKey = QStringLiteral("zombieMs");

// JSON numbers are doubles: whole numbers up to 2^53 are exact.
constexpr double MaxWhole = 9007199254740992.0;

QJsonValue timeValue(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs))
                       : QJsonValue(QJsonValue::Null);
}

QJsonValue figureValue(qint64 value)
{
    return value < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(double(value));
}

// Reads members of one object, remembering the first problem.
class Members
{
public:
    Members(const QJsonObject &object, QString where) : object(object), where(std::move(where)) {}

    QString text(const QString &key)
    {
        const QJsonValue v = object.value(key);
        if (!v.isString())
            fail(key, InventoryJson::tr("is not a text"));
        return v.toString();
    }
    QDateTime time(const QString &key, bool nullAllowed)
    {
        const QJsonValue v = object.value(key);
        if (nullAllowed && v.isNull())
            return QDateTime();
        const QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
        if (!t.isValid())
            fail(key, InventoryJson::tr("is not a time stamp"));
        return t;
    }
    // A whole number from min up; null gives -1 where allowed.
    qint64 whole(const QString &key, double min, double max, bool nullAllowed)
    {
        const QJsonValue v = object.value(key);
        if (nullAllowed && v.isNull())
            return -1;
        const double d = v.toDouble(std::nan(""));
        if (!v.isDouble() || d != std::floor(d) || d < min || d > max) {
            fail(key, InventoryJson::tr("is not a whole number from %1 to %2").arg(qint64(min)).arg(qint64(max)));
            return 0;
        }
        return qint64(d);
    }
    QStringList texts(const QString &key)
    {
        const QJsonValue v = object.value(key);
        QStringList list;
        if (!v.isArray()) {
            fail(key, InventoryJson::tr("is not a list of texts"));
            return list;
        }
        for (const QJsonValue &item : v.toArray()) {
            if (!item.isString())
                fail(key, InventoryJson::tr("is not a list of texts"));
            list << item.toString();
        }
        return list;
    }

    bool ok() const { return problem.isEmpty(); }
    QString error() const { return problem; }

private:
    void fail(const QString &key, const QString &what)
    {
        if (problem.isEmpty())
            problem = InventoryJson::tr("%1\"%2\" %3").arg(where, key, what);
    }

    QJsonObject object;
    QString where;
    QString problem;
};

} // namespace

const QString InventoryJson::formatMark = QStringLiteral("kelvaro-inventory");

QByteArray InventoryJson::write(const Inventory &inventory)
{
    Inventory sorted = inventory;
    sorted.sortByAddress();
    QJsonArray monitors;
    for (const InventoryEntry &e : sorted.monitors) {
        QJsonObject m;
        m.insert(AddressKey, e.address);
        m.insert(SerialKey, e.serialNumber);
        m.insert(FirmwareKey, e.firmware);
        m.insert(BoardsKey, QJsonArray::fromStringList(e.boardVersions));
        m.insert(InputKey, e.input);
        m.insert(ModeKey, e.mode);
        m.insert(StateKey, e.state);
        m.insert(LastGoodReplyKey, timeValue(e.lastGoodReply));
        m.insert(MedianKey, figureValue(e.medianExchangeUs));
        m.insert(WorstKey, figureValue(e.worstExchangeUs));
        m.insert(FailuresKey, e.failuresSinceSearch);
        m.insert(EpisodesKey, e.zombieEpisodes);
        m.insert(ZombieMsKey, double(e.zombieMs));
        monitors.append(m);
    }
    QJsonObject root;
    root.insert(FormatKey, formatMark);
    root.insert(VersionKey, FormatVersion);
    root.insert(ExportedKey, timeValue(sorted.exported));
    root.insert(PortKey, sorted.port);
    root.insert(ApplicationKey, sorted.application);
    root.insert(MonitorsKey, monitors);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool InventoryJson::read(const QByteArray &data, Inventory *inventory, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = tr("not an inventory: no valid JSON (%1 at byte %2)")
                     .arg(parseError.errorString())
                     .arg(parseError.offset);
        return false;
    }
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value(FormatKey).toString() != formatMark) {
        *error = tr("not an inventory: JSON without \"%1\": \"%2\"").arg(FormatKey, formatMark);
        return false;
    }
    Members top(root, QString());
    const qint64 version = top.whole(VersionKey, 1, MaxWhole, false);
    if (top.ok() && version > FormatVersion) {
        *error = tr("inventory format version %1 is newer than this program reads (%2)")
                     .arg(version)
                     .arg(FormatVersion);
        return false;
    }
    Inventory result;
    result.exported = top.time(ExportedKey, false);
    result.port = top.text(PortKey);
    result.application = top.text(ApplicationKey);
    const QJsonValue monitors = root.value(MonitorsKey);
    if (!top.ok() || !monitors.isArray()) {
        *error = top.ok() ? tr("\"%1\" is not a list").arg(MonitorsKey) : top.error();
        return false;
    }
    const QJsonArray list = monitors.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = tr("monitor %1: ").arg(i + 1);
        if (!list.at(i).isObject()) {
            *error = where + tr("not an object");
            return false;
        }
        Members m(list.at(i).toObject(), where);
        InventoryEntry e;
        e.address = int(m.whole(AddressKey, Inventory::FirstAddress, Inventory::LastAddress, false));
        e.serialNumber = m.text(SerialKey);
        e.firmware = m.text(FirmwareKey);
        e.boardVersions = m.texts(BoardsKey);
        e.input = m.text(InputKey);
        e.mode = m.text(ModeKey);
        e.state = m.text(StateKey);
        e.lastGoodReply = m.time(LastGoodReplyKey, true);
        e.medianExchangeUs = m.whole(MedianKey, 0, MaxWhole, true);
        e.worstExchangeUs = m.whole(WorstKey, 0, MaxWhole, true);
        e.failuresSinceSearch = int(m.whole(FailuresKey, 0, INT_MAX, false));
        e.zombieEpisodes = int(m.whole(EpisodesKey, 0, INT_MAX, false));
        e.zombieMs = m.whole(ZombieMsKey, 0, MaxWhole, false);
        if (!m.ok()) {
            *error = m.error();
            return false;
        }
        result.monitors << e;
        const QString wrong = result.checkAddresses();
        if (!wrong.isEmpty()) {
            *error = where + wrong;
            return false;
        }
    }
    result.sortByAddress();
    *inventory = result;
    return true;
}
