#include "supervision/mcontroller.h"

#include "monitor/alarmsettings.h"
#include "monitor/alarmstatus.h"
#include "protocol/alarmcmd.h"
#include "protocol/commandnames.h"
#include "protocol/controlcmd.h"
#include "protocol/querycmd.h"
#include "protocol/rscmd.h"
#include "protocol/umdcmd.h"
#include "protocol/updatecmd.h"
#include "supervision/monitormodelnotifier.h"
#include "transport/logcategories.h"
#include "transport/rsthread.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QMetaMethod>
#include <QTimer>

#include <limits>

namespace {

// When the worker finished the exchange; now for one it never timed.
QDateTime endOf(const RSCmd *cmd)
{
    return cmd->endedAtMs ? QDateTime::fromMSecsSinceEpoch(cmd->endedAtMs, Qt::UTC)
                          : QDateTime::currentDateTimeUtc();
}

} // namespace

MController::MController(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<RSCmd>("RSCmd&");
    qRegisterMetaType<CMonitor>();

    thread = new RSThread(this);
    connect(thread, &RSThread::cmdDone, this, &MController::cmdAnalyzer);
    connect(thread, &RSThread::searchingAddressChanged, this, &MController::doAddressChanged);
    connect(thread, &RSThread::searchDone, this, &MController::logSearchResult);
    connect(thread, &RSThread::linkLost, this, &MController::portLost);
    connect(thread, &RSThread::linkRestored, this, &MController::portRestored);
    // Direct: openPort runs in this thread, and the warning must be shown
    // before startSearch returns.
    connect(thread, &RSThread::openFailed, this, &MController::forwardOpenFailure,
            Qt::DirectConnection);

    log.setLineWritten([this](const QString &line) { emit eventLogged(line); });

    ackClock.start();
    ackExpiry = new QTimer(this);
    ackExpiry->setSingleShot(true);
    ackExpiry->setTimerType(Qt::PreciseTimer); // a coarse one may be 3 s late in a minute
    connect(ackExpiry, &QTimer::timeout, this, &MController::expireAcknowledgements);

    log.open();
}

MController::~MController()
{
    // The worker must be stopped and the port closed before the log ends.
    thread->stopBus();
    // Exchanges the worker finished before it stopped are still posted to
    // us; each owns its command. They are analysed now, so that their log
    // lines are written and their commands freed, but no longer shown: the
    // table model and the receivers of our signals may already be gone, or
    // half destroyed.
    model = nullptr;
    blockSignals(true);
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    delete thread;
    thread = nullptr;
    log.close();
}

void MController::setModel(MonitorModelNotifier *notifier)
{
    model = notifier;
}

bool MController::startSearch()
{
    const bool wasLost = link == PortLost;
    thread->stopBus();
    // The health figures describe the monitor at its address, not the
    // search: those found again keep them, all but the failure count.
    healthBeforeSearch.clear();
    for (int i = 0; i < thread->monitorCount(); ++i)
        healthBeforeSearch.insert(thread->monitorAt(i)->address, thread->monitorAt(i)->health);
    thread->clearMonitors();
    failedLastPoll.clear();
    if (acks.clear())
        acknowledgementsChanged({});
    if (model)
        model->reload();
    if (!thread->startBus()) {
        logMsg(QStringLiteral("[ERROR]: Open %1 failed.").arg(thread->portName()));
        // The port is still being waited for: keep trying, and search as
        // soon as it is back.
        if (wasLost && thread->startReconnect())
            searchWhenRestored = true;
        return false;
    }
    if (wasLost)
        portRestored(thread->portName());
    logMsg(QStringLiteral("[SEARCH]: START..."));
    return true;
}

void MController::stopSearch()
{
    thread->cancelSearch();
    // Later, so that replies already on their way are counted first.
    QTimer::singleShot(0, this, &MController::logSearchResult);
}

QString MController::linkPortName() const
{
    return thread->portName();
}

void MController::setLink(LinkState state)
{
    if (state == link)
        return;
    link = state;
    if (state == LinkOk)
        faultSince = QDateTime();
    if (acks.clearLink())
        acknowledgementsChanged({});
    emit linkStateChanged(state);
}

void MController::logRestored()
{
    logMsg(QStringLiteral("[MONITOR]: LINK RESTORED - PORT(%1) - DOWN(%2 s)")
               .arg(thread->portName(), QString::number(faultSince.secsTo(QDateTime::currentDateTime()))));
}

void MController::portLost(const QString &portName)
{
    if (link == LinkOk)
        faultSince = QDateTime::currentDateTime(); // a silent bus before it began the outage
    logMsg(QStringLiteral("[ERROR]: LINK LOST - PORT(%1)").arg(portName));
    // Every monitor is out of reach at once. The one line above says so,
    // instead of an error and a zombie line for each of up to 126 monitors.
    thread->lockMonitors();
    for (int i = 0; i < thread->monitorCount(); ++i) {
        CMonitor *m = thread->monitorAt(i);
        if (m->state != CMonitor::StateZombie) {
            m->state = CMonitor::StateZombie;
            m->health.noteZombie(true, QDateTime::currentDateTimeUtc());
            commitChange(m);
        }
    }
    failedLastPoll.clear();
    thread->unlockMonitors();
    setLink(PortLost);
}

void MController::forwardOpenFailure(const QString &portName)
{
    // Logged as the transport would, had nobody taken its signal.
    if (isSignalConnected(QMetaMethod::fromSignal(&MController::openFailed)))
        emit openFailed(portName);
    else
        qCWarning(lcTransport, "%s", qPrintable(RSThread::openFailureText(portName)));
}

void MController::portRestored(const QString &portName)
{
    Q_UNUSED(portName);
    if (link == LinkOk)
        return;
    logRestored();
    failedLastPoll.clear(); // no poll has run on the new port yet
    setLink(LinkOk);
    if (searchWhenRestored) {
        searchWhenRestored = false;
        logMsg(QStringLiteral("[SEARCH]: START..."));
    }
}

void MController::notePoll(quint8 address, bool answered)
{
    if (answered) {
        failedLastPoll.remove(address);
        if (link == BusSilent) {
            logRestored();
            setLink(LinkOk);
        }
        return;
    }
    failedLastPoll.insert(address);
    updateBusSilence();
}

void MController::updateBusSilence()
{
    const int count = thread->monitorCount();
    if (link != LinkOk || count == 0 || failedLastPoll.size() < count)
        return;
    for (int i = 0; i < count; ++i) {
        if (!failedLastPoll.contains(thread->monitorAt(i)->address))
            return;
    }
    faultSince = QDateTime::currentDateTime();
    logMsg(QStringLiteral("[ERROR]: BUS SILENT - PORT(%1)").arg(thread->portName()));
    setLink(BusSilent);
}

int MController::monitorCount() const
{
    return thread->monitorCount();
}

CMonitor *MController::monitorAt(int index) const
{
    return thread->monitorAt(index);
}

int MController::alarmCount() const
{
    return thread->alarmCount();
}

bool MController::removeMonitor(CMonitor *monitor)
{
    if (!monitor)
        return false;
    const CMonitor copy = *monitor; // the list deletes the record
    const int index = thread->removeMonitor(monitor);
    if (index < 0)
        return false;
    if (model && !model->removeRows(index, 1))
        return false;
    if (acks.remove(copy.address))
        acknowledgementsChanged({});
    emit monitorRemoved(copy);
    logMsg(QStringLiteral("[MONITOR]: REMOVED - SN(%1) - ADDRESS(%2)")
               .arg(copy.serialNumber, QString::number(copy.address)));
    failedLastPoll.remove(copy.address);
    updateBusSilence(); // the rest may all be silent
    return true;
}

void MController::sendControl(quint8 keyCode, quint8 address)
{
    thread->enqueue(new ControlCmd(keyCode, address));
}

void MController::sendUmd(const QByteArray &text, quint8 tally, quint8 address)
{
    thread->enqueue(new UMDCmd(text, tally, address));
    emit umdQueued(address, text, tally);
}

void MController::queueAlarmCmd(quint8 address)
{
    thread->enqueue(new AlarmCmd(address));
}

void MController::queueUpdateCmd(quint8 address)
{
    thread->enqueue(new UpdateCmd(address));
}

void MController::queueQueryCmd(quint8 item, int dataLength, quint8 address)
{
    thread->enqueue(new QueryCmd(item, dataLength, address));
}

bool MController::registerMonitor(CMonitor *monitor)
{
    const int index = thread->addMonitor(monitor);
    if (index < 0)
        return false;
    if (model && !model->insertRows(index, 1))
        return false;
    emit monitorAdded(*monitor);
    return true;
}

bool MController::commitChange(CMonitor *monitor)
{
    const int index = thread->replaceMonitor(monitor);
    if (index < 0)
        return false;
    // An alarm that cleared is no longer acknowledged: its return is new.
    const bool dropped = acks.acknowledgedKinds(monitor->address)
        && acks.keepPresent(monitor->address,
                            AlarmAcknowledgement::presentKinds(*monitor, AlarmSettings::enabledKinds()));
    if (model)
        model->updateRow(index);
    emit monitorChanged(*monitor);
    if (dropped)
        acknowledgementsChanged({});
    return true;
}

int MController::acknowledgeAlarms()
{
    const qint64 now = ackClock.elapsed();
    const int minutes = AlarmSettings::ackMinutes();
    const AlarmSettings::Enables enabled = AlarmSettings::enabledKinds();
    QList<quint8> acknowledged;
    for (int i = 0; i < monitorCount(); ++i) {
        const CMonitor *m = monitorAt(i);
        if (m && acks.acknowledge(m->address, AlarmAcknowledgement::presentKinds(*m, enabled), now, minutes)) {
            acknowledged << m->address;
            logMsg(QStringLiteral("[ALARM]: ACKNOWLEDGED - ADDRESS(%1)").arg(QString::number(m->address)));
        }
    }
    const bool linkAlarm = link != LinkOk && AlarmSettings::linkAlarmEnabled();
    const bool linkAcknowledged = linkAlarm && acks.acknowledgeLink(now, minutes);
    if (linkAcknowledged)
        logMsg(QStringLiteral("[ALARM]: ACKNOWLEDGED - PORT(%1)").arg(thread->portName()));
    if (linkAcknowledged || !acknowledged.isEmpty())
        acknowledgementsChanged(acknowledged);
    return int(acknowledged.size());
}

int MController::acknowledgedAlarmCount() const
{
    if (acks.isEmpty())
        return 0;
    const AlarmSettings::Enables enabled = AlarmSettings::enabledKinds();
    int count = 0;
    for (int i = 0; i < monitorCount(); ++i) {
        const CMonitor *m = monitorAt(i);
        count += m && acks.covers(m->address, AlarmAcknowledgement::presentKinds(*m, enabled));
    }
    return count;
}

bool MController::isAcknowledged(quint8 address) const
{
    // Asked for every cell a view paints: nothing is read while nothing is
    // acknowledged at this address.
    if (!acks.acknowledgedKinds(address))
        return false;
    const CMonitor *m = thread->findMonitor(address);
    return m && acks.covers(address, AlarmAcknowledgement::presentKinds(*m, AlarmSettings::enabledKinds()));
}

void MController::expireAcknowledgements()
{
    bool linkExpired = false;
    const QList<quint8> expired = acks.expire(ackClock.elapsed(), &linkExpired);
    if (linkExpired || !expired.isEmpty())
        acknowledgementsChanged(expired);
    else
        scheduleExpiry(); // woken early: wait on
}

void MController::scheduleExpiry()
{
    const qint64 next = acks.nextExpiry();
    if (next < 0)
        ackExpiry->stop();
    else
        ackExpiry->start(int(qBound(qint64(1), next - ackClock.elapsed(), qint64(std::numeric_limits<int>::max()))));
}

void MController::acknowledgementsChanged(const QList<quint8> &addresses)
{
    for (int i = 0; model && i < monitorCount(); ++i) {
        if (const CMonitor *m = monitorAt(i); m && addresses.contains(m->address))
            model->updateRow(i);
    }
    scheduleExpiry();
    emit acknowledgementChanged();
}

void MController::doAddressChanged(quint8 addr)
{
    const QString text = QStringLiteral("%1: %2\n %3 %4.")
                             .arg(tr("Searching address"), QString::number(addr),
                                  QString::number(monitorCount()), tr("monitor(s) found"));
    emit addressChanged(addr);
    emit msgChanged(text);
}

void MController::logSearchResult()
{
    const int count = monitorCount();
    logMsg(QStringLiteral("[SEARCH]: END - %1 FOUND").arg(count));
    for (int i = 0; i < count; ++i) {
        const CMonitor *m = monitorAt(i);
        if (!m)
            continue;
        logMsg(QStringLiteral("[MONITOR]: FOUND - SN(%1) - ADDRESS(%2) - STATE(%3)")
                   .arg(m->serialNumber, QString::number(m->address), statusText(*m)));
    }
}

void MController::logMsg(const QString &text)
{
    log.write(text);
}

void MController::cmdAnalyzer(RSCmd *cmd)
{
    thread->lockMonitors();
    CMonitor *m = thread->findMonitor(cmd->address);
    // Every timed exchange with a listed monitor; a search's probe of an
    // address not (or no longer) listed and a UMD frame say nothing.
    if (m && cmd->busTimeUs >= 0)
        m->health.noteExchange(cmd->busTimeUs, cmd->status == RSCmd::StatusOk, endOf(cmd));
    if (cmd->status == RSCmd::StatusOk) {
        switch (cmd->code) {
        case RSCmd::CodeEcho: analyzeEcho(cmd, m); break;
        case RSCmd::CodeAlarm: analyzeAlarm(cmd, m); break;
        case RSCmd::CodeUpdate: analyzeUpdate(cmd, m); break;
        case RSCmd::CodeQuery: analyzeQuery(cmd, m); break;
        default: break; // proto, control and UMD replies change nothing
        }
    } else {
        analyzeFailure(cmd, m);
    }
    if (cmd->code == RSCmd::CodeEcho && thread->findMonitor(cmd->address))
        notePoll(cmd->address, cmd->status == RSCmd::StatusOk);
    thread->unlockMonitors();
    const quint8 code = cmd->code;
    const quint8 address = cmd->address;
    const bool ok = cmd->status == RSCmd::StatusOk;
    const qint64 busTimeUs = cmd->busTimeUs;
    delete cmd;
    emit exchangeTimed(code, address, ok, busTimeUs);
    emit exchangeFinished(code, address, ok);
}

void MController::analyzeEcho(RSCmd *cmd, CMonitor *m)
{
    if (!m) {
        // Only a new search brings back an address the user removed.
        if (thread->wasRemoved(cmd->address))
            return;
        m = new CMonitor(cmd->address);
        m->health = healthBeforeSearch.take(cmd->address);
        m->health.resetFailures();
        m->health.noteZombie(false, endOf(cmd)); // found again: it answers
        if (!registerMonitor(m)) {
            if (thread->findMonitor(cmd->address) != m)
                delete m;
            return;
        }
    }
    const bool wasZombie = m->state & CMonitor::StateZombie;
    const bool changed = cmd->apply(m);
    if (wasZombie && !(m->state & CMonitor::StateZombie))
        m->health.noteZombie(false, endOf(cmd));
    if (m->state & CMonitor::StateAlarmDue)
        queueAlarmCmd(m->address);
    if (m->state & CMonitor::StateUpdateDue)
        queueUpdateCmd(m->address);
    if (changed)
        commitChange(m);
}

void MController::analyzeAlarm(RSCmd *cmd, CMonitor *m)
{
    if (!m || !cmd->apply(m))
        return;
    commitChange(m);
    logMsg(QStringLiteral("[ALARM]: STATE(%1) - SN(%2) - ADDRESS(%3)")
               .arg(statusText(*m), m->serialNumber, QString::number(m->address)));
    if (isIreAlarm(*m) || isRgbAlarm(*m))
        queueQueryCmd(CMonitor::timeCodeItem.item, CMonitor::timeCodeItem.dataLength, m->address);
}

void MController::analyzeUpdate(RSCmd *cmd, CMonitor *m)
{
    if (!m)
        return;
    cmd->apply(m);
    for (const CMonitor::QueryItem &query : CMonitor::queryItems) {
        if (m->pendingQueries & query.pendingBit)
            queueQueryCmd(query.item, query.dataLength, m->address);
    }
}

void MController::analyzeQuery(RSCmd *cmd, CMonitor *m)
{
    if (!m || !cmd->apply(m))
        return;
    if (static_cast<QueryCmd *>(cmd)->item == CMonitor::timeCodeItem.item) {
        logMsg(QStringLiteral("[TIMECODE](%1) - SN(%2) - ADDRESS(%3)")
                   .arg(m->timeCode, m->serialNumber, QString::number(m->address)));
    }
    commitChange(m);
}

void MController::analyzeFailure(RSCmd *cmd, CMonitor *m)
{
    // A monitor that stopped answering leaves one error line, not one per
    // poll. While the port is lost every monitor is a zombie, but what the
    // operator sent is still reported: it was refused, not merely late.
    const bool userCommand = cmd->code == RSCmd::CodeControl || cmd->code == RSCmd::CodeUmd;
    if (!m || ((m->state & CMonitor::StateZombie) && !(userCommand && link == PortLost)))
        return;
    logMsg(QStringLiteral("[ERROR]: CMD(%1) - MSG(%2) - ADDR(%3)")
               .arg(commandName(*cmd), statusName(cmd->status), QString::number(cmd->address)));
    if (cmd->code == RSCmd::CodeEcho
        && (cmd->status == RSCmd::StatusSendError || cmd->status == RSCmd::StatusReadError)) {
        logMsg(QStringLiteral("[MONITOR]: ZOMBIE - SN(%1) - ADDRESS(%2)")
                   .arg(m->serialNumber, QString::number(m->address)));
        m->state = CMonitor::StateZombie;
        m->health.noteZombie(true, endOf(cmd));
        commitChange(m);
    }
}
