#include "modalwatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

ModalWatcher::ModalWatcher(Handler handler, QObject *parent)
    : QObject(parent), handler(std::move(handler))
{
    connect(&timer, &QTimer::timeout, this, &ModalWatcher::look);
    timer.start(10);
}

void ModalWatcher::look()
{
    QWidget *dialog = QApplication::activeModalWidget();
    // Keys typed into a window that is not active yet reach widgets without
    // focus, which behave differently (no completion, for one).
    if (!dialog || !dialog->isActiveWindow() || handled.contains(dialog))
        return;
    if (handler(dialog))
        handled << dialog;
}

QAbstractButton *ModalWatcher::button(QWidget *widget, const QString &text)
{
    const QList<QAbstractButton *> buttons = widget->findChildren<QAbstractButton *>();
    for (QAbstractButton *candidate : buttons) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

bool ModalWatcher::click(QWidget *widget, const QString &text)
{
    QAbstractButton *found = button(widget, text);
    if (!found)
        return false;
    found->click();
    return true;
}

void ModalWatcher::retype(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}
