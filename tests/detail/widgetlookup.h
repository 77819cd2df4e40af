#ifndef WIDGETLOOKUP_H
#define WIDGETLOOKUP_H

#include <QPoint>
#include <QString>

class QPushButton;
class QWidget;

// The (row, column) of the grid cell that holds a widget, or (-1, -1) when
// its parent has no grid or the widget is not in it.
QPoint gridCell(QWidget *widget);

// The push button below `page` that sits in the group box titled `group`
// at (row, column) of its grid; null if there is none.
QPushButton *buttonInGroup(QWidget *page, const QString &group, int row, int column);

#endif // WIDGETLOOKUP_H
