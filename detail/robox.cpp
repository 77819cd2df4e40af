#include "robox.h"

#include <QEvent>

ROBox::ROBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
{
}

ROBox::ROBox(QWidget *parent) : QCheckBox(parent)
{
}

bool ROBox::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Swallowed: a double-click cannot toggle either, since the release
        // that would complete the click never arrives.
        return true;
    default:
        return QCheckBox::event(event);
    }
}
