#include "mainwindow/eventsdock.h"

#include "mainwindow/eventfilter.h"
#include "mainwindow/eventsmodel.h"
#include "transport/rsthread.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

EventsDock::EventsDock(const QString &title, QWidget *parent)
    : QDockWidget(title, parent)
    , events(new EventsModel(this))
    , filter(new EventFilter(events, this))
{
    auto *contents = new QWidget(this);

    tagBox = new QComboBox(contents);
    tagBox->setObjectName(QStringLiteral("eventTagFilter"));
    tagBox->addItem(tr("All"), QString());
    const auto addTag = [this](const QString &tag) {
        tagBox->addItem(QStringLiteral("[%1]").arg(tag), tag);
    };
    for (const QString &tag : events->tags())
        addTag(tag);
    connect(events, &EventsModel::tagAdded, this, addTag);
    connect(tagBox, &QComboBox::currentIndexChanged, this,
            [this] { filter->setTag(tagBox->currentData().toString()); });

    addressBox = new QSpinBox(contents);
    addressBox->setObjectName(QStringLiteral("eventAddressFilter"));
    addressBox->setRange(0, RSThread::LastAddress);
    addressBox->setSpecialValueText(tr("Any"));
    connect(addressBox, &QSpinBox::valueChanged, filter, &EventFilter::setAddress);

    textEdit = new QLineEdit(contents);
    textEdit->setObjectName(QStringLiteral("eventTextFilter"));
    textEdit->setPlaceholderText(tr("Text"));
    textEdit->setClearButtonEnabled(true);
    connect(textEdit, &QLineEdit::textChanged, filter, &EventFilter::setText);

    countLabel = new QLabel(contents);
    countLabel->setObjectName(QStringLiteral("eventCount"));

    view = new QListView(contents);
    view->setObjectName(QStringLiteral("eventList"));
    // Equal rows let the view place ten thousand of them without measuring each.
    view->setUniformItemSizes(true);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setModel(filter);

    auto *tagLabel = new QLabel(tr("Tag"), contents);
    tagLabel->setBuddy(tagBox);
    auto *addressLabel = new QLabel(tr("Address"), contents);
    addressLabel->setBuddy(addressBox);
    auto *filters = new QHBoxLayout;
    filters->addWidget(tagLabel);
    filters->addWidget(tagBox);
    filters->addWidget(addressLabel);
    filters->addWidget(addressBox);
    filters->addWidget(textEdit, 1);
    filters->addWidget(countLabel);
    auto *layout = new QVBoxLayout(contents);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(filters);
    layout->addWidget(view);
    setWidget(contents);

    // New lines come in on top. Scrolled away from the top, the operator is
    // reading: the line at the top of the view is kept there. Taken before
    // the batch touches the model, while the view's layout still holds.
    connect(events, &EventsModel::linesAboutToBeShown, this, [this] {
        topLine = view->verticalScrollBar()->value() > 0
            ? QPersistentModelIndex(view->indexAt(QPoint(1, 1)))
            : QPersistentModelIndex();
    });
    connect(events, &EventsModel::linesShown, this, [this] {
        if (topLine.isValid())
            view->scrollTo(topLine, QAbstractItemView::PositionAtTop);
        topLine = QPersistentModelIndex();
    });
    connect(filter, &QAbstractItemModel::rowsInserted, this, &EventsDock::updateCount);
    connect(filter, &QAbstractItemModel::rowsRemoved, this, &EventsDock::updateCount);
    connect(filter, &QAbstractItemModel::modelReset, this, &EventsDock::updateCount);
    updateCount();
}

void EventsDock::addLine(const QString &line)
{
    events->addLine(line);
}

void EventsDock::updateCount()
{
    countLabel->setText(tr("%1 of %2 lines").arg(filter->rowCount()).arg(events->rowCount()));
}
