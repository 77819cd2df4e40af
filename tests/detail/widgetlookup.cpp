#include "widgetlookup.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>

QPoint gridCell(QWidget *widget)
{
    QWidget *parent = widget ? widget->parentWidget() : nullptr;
    auto *grid = parent ? qobject_cast<QGridLayout *>(parent->layout()) : nullptr;
    const int index = grid ? grid->indexOf(widget) : -1;
    if (index < 0)
        return QPoint(-1, -1);
    int row, column, rowSpan, columnSpan;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return QPoint(row, column);
}

QPushButton *buttonInGroup(QWidget *page, const QString &group, int row, int column)
{
    for (QPushButton *button : page->findChildren<QPushButton *>()) {
        auto *box = qobject_cast<QGroupBox *>(button->parentWidget());
        if (box && box->title() == group && gridCell(button) == QPoint(row, column))
            return button;
    }
    return nullptr;
}
