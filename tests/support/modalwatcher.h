#ifndef MODALWATCHER_H
#define MODALWATCHER_H

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>

// Answers the modal dialogs that a call under test opens. While it lives it
// looks for the active modal widget every few milliseconds, from whatever
// event loop is running (a dialog's own exec() included), and offers each
// one, once it is the active window, to the handler until the handler takes
// it by returning true.
class ModalWatcher : public QObject
{
public:
    using Handler = std::function<bool(QWidget *dialog)>;

    explicit ModalWatcher(Handler handler) : handler(std::move(handler))
    {
        connect(&timer, &QTimer::timeout, this, &ModalWatcher::look);
        timer.start(10);
    }

    // The button of widget whose text is text, or null.
    static QAbstractButton *button(QWidget *widget, const QString &text)
    {
        for (QAbstractButton *candidate : widget->findChildren<QAbstractButton *>()) {
            if (candidate->text() == text)
                return candidate;
        }
        return nullptr;
    }
    // Clicks it; false when there is none.
    static bool click(QWidget *widget, const QString &text)
    {
        QAbstractButton *found = button(widget, text);
        return found && (found->click(), true);
    }
    // Replaces the edit's text key by key, as the operator types it.
    static void retype(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

private:
    void look()
    {
        QWidget *dialog = QApplication::activeModalWidget();
        // Keys typed into a window that is not active yet reach widgets
        // without focus, which behave differently (no completion, for one).
        if (dialog && dialog->isActiveWindow() && !handled.contains(dialog) && handler(dialog))
            handled << dialog;
    }

    Handler handler;
    QTimer timer;
    QList<QPointer<QWidget>> handled;
};

#endif // MODALWATCHER_H
