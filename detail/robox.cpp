#include "detail/robox.h"

#include <QEvent>

ROBox::ROBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
{
    // A box that swallows every key must never hold the focus, or Tab could
    // not leave it again.
    setFocusPolicy(Qt::NoFocus);
}

ROBox::ROBox(QWidget *parent) : ROBox(QString(), parent)
{
}

bool ROBox::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Swallowed. A double-click passed on would press the box down, and
        // with its release swallowed nothing would lift it again.
        return true;
    default:
        return QCheckBox::event(event);
    }
}
