#ifndef EVENTFILTER_H
#define EVENTFILTER_H

#include <QSortFilterProxyModel>
#include <QString>

class EventsModel;

// The lines of an EventsModel that pass all of three filters: a tag, a
// monitor's address and a piece of text (any case). An unset filter passes
// every line. The order stays the model's, newest first.
class EventFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit EventFilter(EventsModel *events, QObject *parent = nullptr);

    // A tag without brackets ("ALARM"); empty: any line.
    void setTag(const QString &tag);
    // Lines naming this address; 0 or less: any line.
    void setAddress(int address);
    void setText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    EventsModel *events;
    QString tag;
    int tagIndex = -1;
    int address = 0;
    QString text;
};

#endif // EVENTFILTER_H
