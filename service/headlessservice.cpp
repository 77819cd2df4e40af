#include "service/headlessservice.h"

#include "supervision/mcontroller.h"
#include "tally/tallyinput.h"
#include "tally/tallysettings.h"
#include "transport/rsthread.h"
#include "transport/serialsettings.h"

#include <QTimer>

HeadlessService::HeadlessService(QObject *parent)
    : QObject(parent), supervisor(new MController(this)), tally(new TallyInput(supervisor, this)),
      retry(new QTimer(this))
{
    supervisor->setObjectName(QStringLiteral("controller"));
    retry->setSingleShot(true);
    retry->setInterval(RetrySeconds * 1000);
    connect(retry, &QTimer::timeout, this, &HeadlessService::search);
    // What the window shows in a box goes to stderr (the journal, under
    // systemd), once: every retry also leaves its line in the event log.
    connect(supervisor, &MController::openFailed, this, [this](const QString &portName) {
        if (openFailureReported)
            return;
        openFailureReported = true;
        qWarning("%s. Trying again every %d seconds.", qPrintable(RSThread::openFailureText(portName)),
                 RetrySeconds);
    });
}

HeadlessService::~HeadlessService()
{
    retry->stop();
    // The tally input talks to the supervisor: it goes first.
    delete tally;
    tally = nullptr;
    delete supervisor;
    supervisor = nullptr;
}

void HeadlessService::start()
{
    const QStringList failures =
        tally->start(TallySettings::read(), SerialSettings::baudRateForIndex(SerialSettings::read().baudRateIndex));
    for (const QString &failure : failures)
        qWarning("The tally input cannot listen here: %s", qPrintable(failure));

    // The remote server starts here, once there is one: after the tally
    // input, so that both listen before the first search begins.

    search();
}

void HeadlessService::search()
{
    if (supervisor->startSearch()) {
        if (openFailureReported)
            qInfo("%s opened: searching.", qPrintable(supervisor->linkPortName()));
        openFailureReported = false;
        return;
    }
    retry->start();
}
