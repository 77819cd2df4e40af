#include "service/headlessservice.h"

#include "metrics/metricscollector.h"
#include "remote/remoteserver.h"
#include "remote/remotesettings.h"
#include "supervision/mcontroller.h"
#include "tally/tallyinput.h"
#include "tally/tallysettings.h"
#include "transport/rsthread.h"
#include "transport/serialsettings.h"

#include <QTimer>

HeadlessService::HeadlessService(QObject *parent)
    : QObject(parent), supervisor(new MController(this)), tally(new TallyInput(supervisor, this)),
      remote(new RemoteServer(supervisor, this)), metrics(new MetricsCollector(supervisor, this)),
      retry(new QTimer(this))
{
    supervisor->setObjectName(QStringLiteral("controller"));
    remote->setMetricsSource([collector = metrics] { return collector->text(); });
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
    // The tally input and the remote server talk to the supervisor: they go
    // first.
    delete remote;
    remote = nullptr;
    delete metrics;
    metrics = nullptr;
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

    // After the tally input, so that both listen before the first search
    // begins. Off unless switched on; settings it refuses (control without
    // a token, say) keep it off, and everything else runs on.
    const RemoteSettings remoteSettings = RemoteSettings::read();
    if (remoteSettings.enabled) {
        for (const QString &failure : remote->start(remoteSettings))
            qWarning("The remote wall and API cannot start: %s", qPrintable(failure));
    }

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
