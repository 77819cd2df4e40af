#include "script/scriptrunner.h"

#include "protocol/controlkeys.h"
#include "supervision/mcontroller.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

#include <climits>
#include <optional>

namespace {

// Keywords are matched case-sensitively by their beginning.
const QLatin1String MonitorKeyword("Monitor");
const QLatin1String ButtonKeyword("Button");
const QLatin1String IdleKeyword("Idle");

constexpr int ProgressMaximum = 100;

// The text between "[" and "]" when the trimmed rest of a directive is
// enclosed in them, as every argument must be.
std::optional<QString> bracketed(const QString &rest)
{
    const QString text = rest.trimmed();
    if (text.size() < 2 || !text.startsWith(QLatin1Char('[')) || !text.endsWith(QLatin1Char(']')))
        return std::nullopt;
    return text.mid(1, text.size() - 2);
}

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

        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (!line.startsWith(QLatin1Char('@'))) {
            QMessageBox::warning(window, QString(), tr("Syntax error"));
            outcome = SyntaxError;
            break;
        }

        const QString directive = line.mid(1).trimmed();
        if (directive.startsWith(MonitorKeyword))
            addMonitors(directive.mid(MonitorKeyword.size()));
        else if (directive.startsWith(ButtonKeyword))
            pressButton(directive, directive.mid(ButtonKeyword.size()));
        else if (directive.startsWith(IdleKeyword))
            idle(directive.mid(IdleKeyword.size()));
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
    if (watched == progress && event->type() == QEvent::Close) {
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
    const std::optional<QString> list = bracketed(argument);
    if (!list)
        return;
    const QStringList parts = list->simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        bool ok = false;
        const uint number = part.toUInt(&ok, 10);
        if (ok)
            targets << quint8(number & 0xFF); // a bus address is one byte
    }
}

void ScriptRunner::pressButton(const QString &directive, const QString &argument)
{
    if (progress)
        progress->setLabelText(directive);
    const std::optional<QString> name = bracketed(argument);
    if (!name)
        return;
    const std::optional<quint8> code = ControlKeys::codeForScriptName(name->simplified());
    if (!code)
        return;
    if (targets.isEmpty())
        targets = selection;
    for (const quint8 address : std::as_const(targets))
        controller->sendControl(*code, address);
}

void ScriptRunner::idle(const QString &argument)
{
    const std::optional<QString> text = bracketed(argument);
    if (!text)
        return;
    bool ok = false;
    const qint64 ms = text->toInt(&ok, 10);
    if (!ok)
        return;

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
