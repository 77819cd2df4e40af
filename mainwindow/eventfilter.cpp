#include "mainwindow/eventfilter.h"

#include "mainwindow/eventsmodel.h"

EventFilter::EventFilter(EventsModel *model, QObject *parent)
    : QSortFilterProxyModel(parent)
    , events(model)
{
    setSourceModel(model);
    // A tag first met after the filter was set now has an index.
    connect(model, &EventsModel::tagAdded, this, [this](const QString &added) {
        if (added == tag)
            setTag(tag);
    });
}

void EventFilter::setTag(const QString &wanted)
{
    tag = wanted;
    tagIndex = events->tagIndex(wanted);
    invalidateFilter();
}

void EventFilter::setAddress(int wanted)
{
    address = wanted;
    invalidateFilter();
}

void EventFilter::setText(const QString &wanted)
{
    text = wanted;
    invalidateFilter();
}

bool EventFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const EventsModel::Entry &e = events->entry(sourceRow);
    if (!tag.isEmpty() && (tagIndex < 0 || e.tag != tagIndex))
        return false;
    if (address > 0 && e.address != address)
        return false;
    return text.isEmpty() || e.line.contains(text, Qt::CaseInsensitive);
}
