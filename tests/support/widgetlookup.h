#ifndef WIDGETLOOKUP_H
#define WIDGETLOOKUP_H

#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>

// The named widget below root; a missing one ends the test at once rather
// than as a crash later on.
template<typename T> T *child(const QObject *root, const QString &name)
{
    T *widget = root->findChild<T *>(name);
    if (!widget)
        qFatal("no widget %s", qPrintable(name));
    return widget;
}

// The push button below page in the group box titled group at (row, column)
// of its grid; null if there is none.
inline QPushButton *buttonInGroup(QWidget *page, const QString &group, int row, int column)
{
    for (QPushButton *button : page->findChildren<QPushButton *>()) {
        auto *box = qobject_cast<QGroupBox *>(button->parentWidget());
        auto *grid = box ? qobject_cast<QGridLayout *>(box->layout()) : nullptr;
        QLayoutItem *item = grid ? grid->itemAtPosition(row, column) : nullptr;
        if (item && item->widget() == button && box->title() == group)
            return button;
    }
    return nullptr;
}

#endif // WIDGETLOOKUP_H
