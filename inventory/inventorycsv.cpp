#include "inventory/inventorycsv.h"

#include "inventory/inventory.h"

#include <QStringDecoder>

#include <climits>

namespace {

enum Column {
    Exported, Port, Application, Address, Serial, Firmware, Boards, Input, Mode, State,
    LastGoodReply, MedianExchangeUs, WorstExchangeUs, FailuresSinceSearch, ZombieEpisodes, ZombieMs,
    ColumnCount
};

// Local time with its offset: the operator reads it as the wall clock, and
// a reader elsewhere still gets the instant.
QString timeText(const QDateTime &t)
{
    return t.isValid() ? t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs) : QString();
}

QString figureText(qint64 value)
{
    return value < 0 ? QString() : QString::number(value);
}

QString quoted(const QString &field)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (QChar c : field) {
        if (special.contains(c)) {
            QString inner = field;
            inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
            return QLatin1Char('"') + inner + QLatin1Char('"');
        }
    }
    return field;
}

// The fields of every row; each row must end in a line break (CRLF or LF),
// so that a file cut short shows. lines gets each row's first line number.
bool split(const QString &text, QList<QStringList> *rows, QList<int> *lines, QString *error)
{
    QStringList row;
    QString field;
    int line = 1;
    int rowLine = 1;
    bool inRow = false; // some of the current row read
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto endRow = [&] {
        row << field;
        *rows << row;
        *lines << rowLine;
        row.clear();
        field.clear();
        rowLine = ++line;
        inRow = false;
    };
    while (i < n) {
        inRow = true;
        if (text.at(i) == QLatin1Char('"') && field.isEmpty()) {
            const int quoteLine = line;
            ++i;
            for (;;) {
                if (i >= n) {
                    *error = InventoryCsv::tr("line %1: a quoted field does not end (the file is cut short)")
                                 .arg(quoteLine);
                    return false;
                }
                const QChar c = text.at(i++);
                if (c == QLatin1Char('"')) {
                    if (i < n && text.at(i) == QLatin1Char('"')) {
                        field += c;
                        ++i;
                        continue;
                    }
                    break;
                }
                if (c == QLatin1Char('\n'))
                    ++line;
                field += c;
            }
            if (i < n && text.at(i) != QLatin1Char(',') && text.at(i) != QLatin1Char('\r')
                && text.at(i) != QLatin1Char('\n')) {
                *error = InventoryCsv::tr("line %1: text after a closing quote").arg(line);
                return false;
            }
            if (i >= n)
                break;
        }
        const QChar c = text.at(i++);
        if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\r') && i < n && text.at(i) == QLatin1Char('\n')) {
            ++i;
            endRow();
        } else if (c == QLatin1Char('\n')) {
            endRow();
        } else if (c == QLatin1Char('"')) {
            *error = InventoryCsv::tr("line %1: a quote inside an unquoted field").arg(line);
            return false;
        } else {
            field += c;
        }
    }
    if (inRow) {
        *error = InventoryCsv::tr("line %1: the last row does not end with a line break (the file is cut short)")
                     .arg(rowLine);
        return false;
    }
    return true;
}

bool readCount(const QString &text, bool emptyAllowed, qint64 *value)
{
    if (text.isEmpty()) {
        *value = -1;
        return emptyAllowed;
    }
    bool ok = false;
    *value = text.toLongLong(&ok);
    return ok && *value >= 0;
}

} // namespace

const QStringList InventoryCsv::header = {
    QStringLiteral("exported"), QStringLiteral("port"), QStringLiteral("application"),
    QStringLiteral("address"), QStringLiteral("serial"), QStringLiteral("firmware"),
    QStringLiteral("boards"), QStringLiteral("input"), QStringLiteral("mode"),
    QStringLiteral("state"), QStringLiteral("last_good_reply"),
    QStringLiteral("median_exchange_us"), QStringLiteral("worst_exchange_us"),
    QStringLiteral("failures_since_search"), QStringLiteral("zombie_episodes"),
    QStringLiteral("zombie_ms"),
};

QByteArray InventoryCsv::write(const Inventory &inventory)
{
    Inventory sorted = inventory;
    sorted.sortByAddress();
    QString text = header.join(QLatin1Char(',')) + QLatin1String("\r\n");
    const QStringList common = {timeText(sorted.exported), sorted.port, sorted.application};
    const auto addRow = [&](const QStringList &monitorFields) {
        QStringList fields = common + monitorFields;
        for (QString &field : fields)
            field = quoted(field);
        text += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
    };
    for (const InventoryEntry &e : sorted.monitors) {
        addRow({QString::number(e.address), e.serialNumber, e.firmware,
                e.boardVersions.join(QLatin1Char(' ')), e.input, e.mode, e.state,
                timeText(e.lastGoodReply), figureText(e.medianExchangeUs),
                figureText(e.worstExchangeUs), QString::number(e.failuresSinceSearch),
                QString::number(e.zombieEpisodes), QString::number(e.zombieMs)});
    }
    if (sorted.monitors.isEmpty())
        addRow(QStringList(ColumnCount - Address));
    return text.toUtf8();
}

bool InventoryCsv::read(const QByteArray &data, Inventory *inventory, QString *error)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(data);
    if (decoder.hasError() || text.contains(QChar(0))) {
        *error = tr("not an inventory: not UTF-8 text");
        return false;
    }
    QList<QStringList> rows;
    QList<int> lines;
    if (!split(text, &rows, &lines, error))
        return false;
    // A spreadsheet may have put a byte-order mark before the first name.
    if (!rows.isEmpty() && !rows.first().isEmpty() && rows.first().first().startsWith(QChar(0xFEFF)))
        rows.first().first().remove(0, 1);
    if (rows.isEmpty() || rows.first() != header) {
        *error = tr("not an inventory: the first row is not the inventory's header (%1)")
                     .arg(header.join(QLatin1Char(',')));
        return false;
    }

    Inventory result;
    int dataRows = 0;
    bool noMonitorRow = false;
    for (int r = 1; r < rows.size(); ++r) {
        const QStringList &f = rows.at(r);
        const int line = lines.at(r);
        if (f.size() == 1 && f.first().isEmpty())
            continue; // a blank line
        const auto fail = [&](const QString &what) {
            *error = tr("line %1: %2").arg(line).arg(what);
            return false;
        };
        if (f.size() != ColumnCount)
            return fail(tr("%1 fields, expected %2").arg(f.size()).arg(int(ColumnCount)));
        const QDateTime exported = QDateTime::fromString(f.at(Exported), Qt::ISODateWithMs);
        if (!exported.isValid())
            return fail(tr("\"exported\" is not a time stamp"));
        if (dataRows == 0) {
            result.exported = exported;
            result.port = f.at(Port);
            result.application = f.at(Application);
        } else if (exported != result.exported || f.at(Port) != result.port
                   || f.at(Application) != result.application) {
            return fail(tr("another export's time stamp, port or version than the rows before"));
        }
        ++dataRows;

        if (f.at(Address).isEmpty()) {
            // Only the row of an inventory without monitors has no address.
            for (int c = Address; c < ColumnCount; ++c) {
                if (!f.at(c).isEmpty())
                    return fail(tr("no address"));
            }
            noMonitorRow = true;
            continue;
        }
        InventoryEntry e;
        bool ok = false;
        e.address = f.at(Address).toInt(&ok);
        if (!ok)
            return fail(tr("the address \"%1\" is not a number").arg(f.at(Address)));
        e.serialNumber = f.at(Serial);
        e.firmware = f.at(Firmware);
        e.boardVersions = f.at(Boards).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        e.input = f.at(Input);
        e.mode = f.at(Mode);
        e.state = f.at(State);
        if (!f.at(LastGoodReply).isEmpty()) {
            e.lastGoodReply = QDateTime::fromString(f.at(LastGoodReply), Qt::ISODateWithMs);
            if (!e.lastGoodReply.isValid())
                return fail(tr("\"last_good_reply\" is not a time stamp"));
        }
        qint64 failures = 0;
        qint64 episodes = 0;
        if (!readCount(f.at(MedianExchangeUs), true, &e.medianExchangeUs)
            || !readCount(f.at(WorstExchangeUs), true, &e.worstExchangeUs)
            || !readCount(f.at(FailuresSinceSearch), false, &failures)
            || !readCount(f.at(ZombieEpisodes), false, &episodes)
            || !readCount(f.at(ZombieMs), false, &e.zombieMs) || failures > INT_MAX
            || episodes > INT_MAX)
            return fail(tr("a health figure is not a whole number"));
        e.failuresSinceSearch = int(failures);
        e.zombieEpisodes = int(episodes);
        result.monitors << e;
        // Checked as they come, so that a huge file stops at its first repeat.
        const QString wrong = result.checkAddresses();
        if (!wrong.isEmpty())
            return fail(wrong);
    }
    if (dataRows == 0) {
        *error = tr("no rows after the header (the file is cut short)");
        return false;
    }
    if (noMonitorRow && !result.monitors.isEmpty()) {
        *error = tr("a row without an address among monitors");
        return false;
    }
    result.sortByAddress();
    *inventory = result;
    return true;
}
