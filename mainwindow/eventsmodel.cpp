#include "mainwindow/eventsmodel.h"

#include <QFile>

#include <algorithm>
#include <iterator>

namespace {

// The one table of tags and their colours, in the order the log introduces
// them; readable on a light background, and alarms and errors stand out.
struct TagColour {
    const char *tag;
    QRgb colour;
};
constexpr TagColour KnownTags[] = {
    {"SEARCH", 0x2e7d32},   // green
    {"MONITOR", 0x1f4fbf},  // blue
    {"ALARM", 0xc25400},    // dark orange
    {"TIMECODE", 0x7b3294}, // purple
    {"ERROR", 0xc00000},    // red
};
constexpr QRgb UntaggedColour = 0x606060; // the log's own lines: grey
constexpr QRgb OtherTagColour = 0x303030;
// Tags met beyond the known ones are remembered up to this many; the rest
// count as untagged, so that odd lines cannot grow the list for ever.
constexpr int MaxTags = 32;
constexpr int MaxTagLength = 16;

// The number in "NAME(n)" within line, or -1.
int numberAfter(const QString &line, QLatin1String name)
{
    const int at = line.indexOf(name);
    if (at < 0)
        return -1;
    int value = -1;
    for (int i = at + name.size(); i < line.size() && line.at(i).isDigit() && value < 100000; ++i)
        value = qMax(value, 0) * 10 + line.at(i).digitValue();
    return value;
}

} // namespace

EventsModel::EventsModel(QObject *parent)
    : QAbstractListModel(parent)
{
    for (const TagColour &known : KnownTags)
        tagNames << QLatin1String(known.tag);
    batchTimer.setSingleShot(true);
    batchTimer.setInterval(BatchMs);
    connect(&batchTimer, &QTimer::timeout, this, &EventsModel::flush);
}

int EventsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(lines.size());
}

QVariant EventsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const Entry &e = entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return e.line;
    case Qt::ForegroundRole:
        return tagColour(e.tag);
    case TagRole:
        return e.tag == NoTag ? QString() : tagNames.at(e.tag);
    case AddressRole:
        return e.address;
    default:
        return QVariant();
    }
}

QColor EventsModel::tagColour(int tag) const
{
    if (tag == NoTag)
        return QColor(UntaggedColour);
    if (tag < int(std::size(KnownTags)))
        return QColor(KnownTags[tag].colour);
    return QColor(OtherTagColour);
}

EventsModel::Entry EventsModel::parse(const QString &line)
{
    Entry e;
    e.line = line;
    // "yyyy.MM.dd hh:mm:ss - [TAG]..." ; the time stamp holds no " - ".
    const int text = line.indexOf(QLatin1String(" - "));
    if (text >= 0 && line.mid(text + 3, 1) == QLatin1String("[")) {
        const int close = line.indexOf(QLatin1Char(']'), text + 4);
        const QString tag = line.mid(text + 4, close - text - 4);
        if (close > 0 && !tag.isEmpty() && tag.size() <= MaxTagLength) {
            e.tag = tagNames.indexOf(tag);
            if (e.tag == NoTag && tagNames.size() < MaxTags) {
                e.tag = int(tagNames.size());
                tagNames << tag;
                emit tagAdded(tag);
            }
        }
    }
    // Most lines name a monitor as ADDRESS(n); the error line as ADDR(n).
    e.address = numberAfter(line, QLatin1String("ADDRESS("));
    if (e.address < 0)
        e.address = numberAfter(line, QLatin1String("ADDR("));
    return e;
}

void EventsModel::addLine(const QString &line)
{
    pending.push_back(parse(line));
    // Those that would be dropped at once need not wait.
    if (pending.size() > size_t(MaxLines))
        pending.pop_front();
    if (!batchTimer.isActive())
        batchTimer.start();
}

bool EventsModel::addFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine()); // as the log writes it
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        addLine(line);
    }
    return true;
}

void EventsModel::flush()
{
    batchTimer.stop();
    if (pending.empty())
        return;
    emit linesAboutToBeShown();
    const int incoming = int(pending.size()); // at most MaxLines
    const int drop = std::max(0, int(lines.size()) + incoming - MaxLines);
    if (drop > 0) {
        // The oldest lines are the last rows.
        beginRemoveRows(QModelIndex(), rowCount() - drop, rowCount() - 1);
        lines.erase(lines.begin(), lines.begin() + drop);
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), 0, incoming - 1);
    std::move(pending.begin(), pending.end(), std::back_inserter(lines));
    pending.clear();
    endInsertRows();
    emit linesShown();
}
