#ifndef SCRIPTRUNNER_H
#define SCRIPTRUNNER_H

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class MController;
class QProgressDialog;
class QWidget;

// Plays a test script: one directive a line, "@Monitor [addresses]",
// "@Button [key]" and "@Idle [ms]", under a window-modal progress dialog
// whose "Stop" ends the run before the next line. The dialog stays, and
// keeps its window blocked, until the run has ended: one run at a time. Key
// presses are only queued on the supervisor; whatever was queued is still
// sent after the run has ended, however it ended.
class ScriptRunner : public QObject
{
    Q_OBJECT

public:
    enum Outcome {
        Finished,    // the end of the file was reached
        Stopped,     // the operator pressed "Stop"
        SyntaxError, // a line that is no directive; the operator was told
        OpenFailed,  // the file could not be read; the operator was told
    };

    // parent: the window the dialogs and message boxes belong to.
    ScriptRunner(QWidget *parent, MController *controller);
    ~ScriptRunner() override;

    // Runs the script in fileName and returns when the run is over. selection
    // holds the addresses selected when the operator asked for the run; a
    // key press that finds no target named yet goes to them.
    Outcome run(const QString &fileName, const QList<quint8> &selection);

    // Ends a run at once, in the middle of a wait too, with the outcome
    // Stopped: for a window that goes, which must not leave a run behind.
    void abort();

protected:
    // Closing the dialog counts as "Stop" and leaves it up until the run ends.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void requestStop();
    void addMonitors(const QString &argument);
    void pressButton(const QString &directive, const QString &argument);
    void idle(const QString &argument);

    QPointer<QWidget> window;
    QPointer<MController> controller;
    QPointer<QProgressDialog> progress;
    QList<quint8> selection;
    QList<quint8> targets;
    bool stopRequested = false;
    bool aborted = false;
};

#endif // SCRIPTRUNNER_H
