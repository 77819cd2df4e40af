#ifndef EVENTSMODEL_H
#define EVENTSMODEL_H

#include <QAbstractListModel>
#include <QColor>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>

// The event log lines of this run, newest in row 0, at most MaxLines of them
// (the oldest go first). Lines arrive one by one, at times hundreds a second;
// they are shown in batches, one insertion every BatchMs at most, so that a
// view over ten thousand rows is updated a few times a second rather than
// for every line.
class EventsModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 10000;
    static constexpr int BatchMs = 50;

    enum Role {
        TagRole = Qt::UserRole, // "ALARM" for "[ALARM]: ..."; empty for untagged lines
        AddressRole,            // n of "ADDRESS(n)" or "ADDR(n)"; -1 for none
    };

    // One line, taken apart once as it arrives so that filtering and
    // colouring never parse it again.
    struct Entry {
        QString line;
        int tag = NoTag;  // index into tags()
        int address = -1;
    };
    static constexpr int NoTag = -1;

    explicit EventsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Row 0 is the newest line shown.
    const Entry &entry(int row) const { return lines[lines.size() - 1 - size_t(row)]; }

    // A line as the log wrote it; shown within BatchMs.
    void addLine(const QString &line);
    // Adds the lines already in a log file, e.g. those written before
    // anyone listened. False if it cannot be read.
    bool addFile(const QString &fileName);
    // Shows the lines taken so far now.
    void flush();

    // The known tags in log order, then those met since, without brackets.
    const QStringList &tags() const { return tagNames; }
    int tagIndex(const QString &tag) const { return tagNames.indexOf(tag); }
    // The text colour of a tag's lines.
    QColor tagColour(int tag) const;

signals:
    // A tag not in the list before appeared in a line.
    void tagAdded(const QString &tag);
    // Around each batch of rows removed and inserted.
    void linesAboutToBeShown();
    void linesShown();

private:
    Entry parse(const QString &line);

    std::deque<Entry> lines;   // shown, oldest first
    std::deque<Entry> pending; // taken, not yet shown, oldest first
    QStringList tagNames;
    QTimer batchTimer;
};

#endif // EVENTSMODEL_H
