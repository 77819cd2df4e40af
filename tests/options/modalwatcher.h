#ifndef MODALWATCHER_H
#define MODALWATCHER_H

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QLineEdit;

// Answers the modal dialogs that a call under test opens. While it lives it
// looks for the active modal widget every few milliseconds, from whatever
// event loop is running (a dialog's own exec() included), and offers each
// one, once it is the active window, to the handler until the handler takes
// it by returning true.
class ModalWatcher : public QObject
{
public:
    using Handler = std::function<bool(QWidget *dialog)>;

    explicit ModalWatcher(Handler handler, QObject *parent = nullptr);

    int handledCount() const { return handled.size(); }

    // The button of widget whose text is text, or null.
    static QAbstractButton *button(QWidget *widget, const QString &text);
    // Clicks it; false when there is none.
    static bool click(QWidget *widget, const QString &text);
    // Replaces the edit's text key by key, as the operator types it.
    static void retype(QLineEdit *edit, const QString &text);

private:
    void look();

    Handler handler;
    QTimer timer;
    QList<QPointer<QWidget>> handled;
};

#endif // MODALWATCHER_H
