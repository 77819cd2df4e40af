#include "script/scriptrunner.h"

#include "script/scriptline.h"
#include "supervision/mcontroller.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

#include <climits>
#include <optional>

namespace {

constexpr int ProgressMaximum = 100;
// Characters of a directive shown while it runs. Laying out a label of a
// megabyte takes the dialog half a minute, with the window frozen.
constexpr int LabelLength = 100;

} // namespace

ScriptRunner::ScriptRunner(QWidget *parent, MController *controller)
    : window(parent), controller(controller)
{
}

ScriptRunner::~ScriptRunner()
{
    delete progress;
}

ScriptRunner::Outcome ScriptRunner::run(const QString &fileName, const QList<quint8> &remembered)
{
    selection = remembered;
    targets.clear();
    stopRequested = false;
    aborted = false;

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QMessageBox::warning(window, QString(), tr("Open file %1 failed").arg(fileName));
        return OpenFailed;
    }

    delete progress;
    // Spelled so on purpose: operators' manuals and scripts use this caption.
    progress = new QProgressDialog(tr("Automotive test..."), tr("Stop"), 0, ProgressMaximum,
                                   window);
    progress->setWindowModality(Qt::WindowModal);
    progress->setWindowTitle(tr("Automotive test..."));
    // Left to itself the dialog resets and closes when the line count
    // reaches its maximum, taking "Stop" away from longer scripts.
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    // Its own cancel() would hide it at once and unblock the window while a
    // wait still runs; "Stop" only takes effect after the wait.
    disconnect(progress, &QProgressDialog::canceled, progress, nullptr);
    connect(progress, &QProgressDialog::canceled, this, &ScriptRunner::requestStop);
    progress->installEventFilter(this);
    progress->show();

    Outcome outcome = Finished;
    QTextStream in(&file);
    QString line;
    int linesRead = 0;
    while (in.readLineInto(&line)) {
        line = line.trimmed();
        // The dialog goes with its window, and so does the supervisor: a
        // window closed under a running script ends the run as "Stop" does.
        if (!progress || stopRequested || aborted || !controller) {
            outcome = Stopped;
            break;
        }
        progress->setValue(linesRead++);

        const ScriptLine parsed = ScriptLine::parse(line);
        if (parsed.kind == ScriptLine::SyntaxError) {
            QMessageBox::warning(window, QString(), tr("Syntax error"));
            outcome = SyntaxError;
            break;
        }
        if (parsed.kind == ScriptLine::Monitor)
            addMonitors(parsed.argument);
        else if (parsed.kind == ScriptLine::Button)
            pressButton(parsed.directive, parsed.argument);
        else if (parsed.kind == ScriptLine::Idle)
            idle(parsed.argument);
    }

    delete progress;
    return outcome;
}

void ScriptRunner::abort()
{
    aborted = true;
}

bool ScriptRunner::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: while the dialog is being destroyed its events still
    // pass here, and reading the guarded pointer then would be a cast of an
    // object that is no longer a progress dialog.
    if (event->type() == QEvent::Close && watched == progress) {
        event->ignore();
        requestStop();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ScriptRunner::requestStop()
{
    stopRequested = true;
    // Taken: the run ends when the current wait is over.
    if (progress) {
        if (auto *stop = progress->findChild<QPushButton *>())
            stop->setEnabled(false);
    }
}

void ScriptRunner::addMonitors(const QString &argument)
{
    targets << ScriptLine::monitors(argument);
}

void ScriptRunner::pressButton(const QString &directive, const QString &argument)
{
    if (progress) {
        progress->setLabelText(directive.size() <= LabelLength
                                   ? directive
                                   : directive.left(LabelLength - 1) + QChar(0x2026)); // ellipsis
    }
    const std::optional<quint8> code = ScriptLine::key(argument);
    if (!code)
        return;
    if (targets.isEmpty())
        targets = selection;
    for (const quint8 address : std::as_const(targets))
        controller->sendControl(*code, address);
}

void ScriptRunner::idle(const QString &argument)
{
    const std::optional<qint64> waitMs = ScriptLine::idleMs(argument);
    if (!waitMs)
        return;
    const qint64 ms = *waitMs;

    // Replies go on being analysed and the views painted while the script
    // waits; the timer only wakes the event loop when the time is up.
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (clock.elapsed() <= ms && progress && !aborted) {
        wake.start(int(qMin<qint64>(ms - clock.elapsed() + 1, INT_MAX)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
