#include "transport/rsthread.h"

#include "monitor/cmonitor.h"
#include "transport/logcategories.h"
#include "transport/serialsettings.h"

#include <QCoreApplication>
#include <QMetaMethod>
#include <QSerialPort>

#include <thread>
#include <utility>

namespace {

using std::chrono::milliseconds;

} // namespace

RSThread::RSThread(QObject *parent)
    : QThread(parent),
      // No parent: the port changes threads with the worker, which a child
      // object cannot do.
      port(new QSerialPort),
      exchange(port),
      searchAddress(FirstAddress),
      flags(0)
{
}

RSThread::~RSThread()
{
    stopBus();
    clearMonitors();
    delete port;
}

bool RSThread::startBus()
{
    if (isRunning())
        return true;
    if (!openPort())
        return false;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        flags &= ~(StopRequested | PortLost);
    }
    // The port's notifiers belong to its thread: the worker takes it for as
    // long as it runs and gives it back at the end of run(), so that opening
    // and closing stay here and no notifier is ever touched across threads.
    portHome = port->thread();
    port->moveToThread(this);
    start(QThread::InheritPriority);
    return true;
}

void RSThread::stopBus()
{
    if (isRunning()) {
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            flags |= StopRequested;
        }
        workAvailable.notify_all();
        wait();
    }
    armSearch();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        flags &= ~PortLost;
    }
    if (port->isOpen())
        port->close();
}

bool RSThread::startReconnect()
{
    if (isRunning())
        return false;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        flags &= ~StopRequested;
        flags |= PortLost;
    }
    nextReconnect = Clock::now();
    portHome = port->thread();
    port->moveToThread(this);
    start(QThread::InheritPriority);
    return true;
}

bool RSThread::isPortLost() const
{
    std::lock_guard<std::mutex> lock(queueMutex);
    return flags & PortLost;
}

void RSThread::armSearch()
{
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        qDeleteAll(queue);
        queue.clear();
        searchAddress = FirstAddress;
        flags |= Searching;
    }
    workAvailable.notify_all();
}

void RSThread::cancelSearch()
{
    std::lock_guard<std::mutex> lock(queueMutex);
    flags &= ~Searching;
    searchAddress = FirstAddress;
}

void RSThread::enqueue(RSCmd *cmd)
{
    if (!cmd)
        return;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queue.append(cmd);
    }
    workAvailable.notify_all();
}

bool RSThread::openPort()
{
    if (port->isOpen())
        return true;

    lastSettings = SerialSettings::read();
    exchange.setTotalTimeout(lastSettings.totalTimeout);
    monitors.setLostPollInterval(std::chrono::seconds(lastSettings.lostPoll));
    configuredPortName = lastSettings.port;
    if (configureAndOpen())
        return true;

    if (isSignalConnected(QMetaMethod::fromSignal(&RSThread::openFailed)))
        emit openFailed(lastSettings.port);
    else
        qCWarning(lcTransport, "%s", qPrintable(openFailureText(lastSettings.port)));
    return false;
}

bool RSThread::configureAndOpen()
{
    // QSerialPort has no query mode and no per-call time-out to set: every
    // read waits on its own (ReadWaitMs) in the receive phase. A symbolic
    // link (a by-id name) is resolved anew at every opening, so a device
    // that came back under another node is found.
    port->setPortName(lastSettings.port);
    port->setBaudRate(lastSettings.baudRate());
    port->setDataBits(lastSettings.dataBits());
    port->setStopBits(lastSettings.stopBits());
    port->setParity(lastSettings.parity());
    port->setFlowControl(lastSettings.flowControl());
    return port->open(QIODevice::ReadWrite);
}

QString RSThread::openFailureTitle()
{
    return tr("Error");
}

QString RSThread::openFailureText(const QString &portName)
{
    return QStringLiteral("%1 %2").arg(tr("Can't open"), portName);
}

QString RSThread::portName() const
{
    return configuredPortName;
}

int RSThread::totalTimeoutMs() const
{
    return exchange.totalTimeoutMs();
}

void RSThread::lockMonitors()
{
    monitors.lock();
}

void RSThread::unlockMonitors()
{
    monitors.unlock();
}

int RSThread::monitorCount() const
{
    return monitors.count();
}

CMonitor *RSThread::monitorAt(int index) const
{
    return monitors.at(index);
}

int RSThread::alarmCount() const
{
    return monitors.alarmCount();
}

bool RSThread::wasRemoved(quint8 address) const
{
    return monitors.wasRemoved(address);
}

CMonitor *RSThread::findMonitor(quint8 address) const
{
    return monitors.find(address);
}

// A list that grew or shrank may wake or idle the worker. The wake may come
// with the monitor lock held by the caller, which the lock order allows.
int RSThread::addMonitor(CMonitor *monitor)
{
    const int index = monitors.add(monitor);
    if (index >= 0)
        wakeWorker();
    return index;
}

int RSThread::removeMonitor(CMonitor *monitor)
{
    const int index = monitors.remove(monitor);
    if (index >= 0)
        wakeWorker();
    return index;
}

int RSThread::replaceMonitor(CMonitor *monitor)
{
    return monitors.replace(monitor);
}

void RSThread::clearMonitors()
{
    monitors.clear();
    wakeWorker();
}

// Taking the queue lock before notifying means an idle worker is either
// already waiting (and wakes) or has not yet tested for work (and sees it).
void RSThread::wakeWorker()
{
    {
        std::lock_guard<std::mutex> lock(queueMutex);
    }
    workAvailable.notify_all();
}

void RSThread::run()
{
    std::unique_lock<std::mutex> lock(queueMutex);
    while (!(flags & StopRequested)) {
        if (flags & PortLost) {
            serveLostPort(lock);
            continue;
        }
        RSCmd *cmd = nullptr;
        quint8 probed = 0;
        bool searchFinished = false;
        if (flags & Searching) {
            probed = searchAddress;
            cmd = new RSCmd(searchAddress);
            if (++searchAddress > LastAddress) {
                flags &= ~Searching;
                searchAddress = FirstAddress;
                searchFinished = true;
            }
        } else if (!queue.isEmpty()) {
            cmd = queue.takeFirst();
        } else if (monitors.knownCount() == 0) {
            // Nothing to do: sleep until a search, a command, a monitor or a
            // stop request arrives instead of looking again at once.
            workAvailable.wait(lock, [this] {
                return (flags & (StopRequested | Searching)) || !queue.isEmpty()
                    || monitors.knownCount() > 0;
            });
            continue;
        }
        lock.unlock();

        // Emitted outside the lock, so that a receiver connected directly may
        // enqueue; queued receivers see the same order either way.
        if (probed) {
            emit searchingAddressChanged(probed);
            if (searchFinished)
                emit searchDone();
        }
        std::chrono::steady_clock::time_point dueAt{};
        if (!cmd)
            cmd = nextPoll(&dueAt); // the queue lock is released before the monitor lock
        if (cmd) {
            if (cmd->address == 0) {
                delete cmd; // never sent, never reported
            } else {
                if (!exchange.transact(cmd)) {
                    if (exchange.deviceGone())
                        losePort(); // no pause: nothing is tried on it any more
                    else
                        std::this_thread::sleep_for(milliseconds(FailurePauseMs));
                }
                handOver(cmd);
            }
        }
        lock.lock();
        // Only zombies are listed and none is due: sleep until one is,
        // unless a command, a search or a stop comes first.
        if (!cmd && dueAt != std::chrono::steady_clock::time_point())
            workAvailable.wait_until(lock, dueAt, [this] {
                return (flags & (StopRequested | Searching | PortLost)) || !queue.isEmpty();
            });
    }
    // Still under the queue lock, which stopBus takes after its wait: so the
    // worker's last touch of this object is ordered before whatever follows
    // the stop, by a lock a race detector sees, not only by Qt's own join.
    port->moveToThread(portHome);
    lock.unlock();
}

void RSThread::handOver(RSCmd *cmd)
{
    // A command nobody receives stays ours, and is freed here instead of
    // vanishing with a signal that goes nowhere.
    if (!isSignalConnected(QMetaMethod::fromSignal(&RSThread::cmdDone))) {
        delete cmd;
        return;
    }
    // Receivers read the command under the monitor lock. Passing through it
    // here, after the last write, orders those writes before their reads by
    // a lock a race detector sees, not only by the event queue's lock inside
    // Qt, which it cannot see.
    monitors.lock();
    monitors.unlock();
    emit cmdDone(cmd);
}

void RSThread::losePort()
{
    port->close();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        flags |= PortLost;
    }
    nextReconnect = Clock::now() + milliseconds(ReconnectIntervalMs);
    qCDebug(lcLink, "lost %s", qPrintable(configuredPortName));
    emit linkLost(configuredPortName);
}

void RSThread::serveLostPort(std::unique_lock<std::mutex> &lock)
{
    // Queued commands fail at once instead of waiting for a port that may
    // not come back: a key press must never take effect minutes later.
    if (!queue.isEmpty()) {
        const QList<RSCmd *> failed = std::exchange(queue, {});
        lock.unlock();
        for (RSCmd *cmd : failed) {
            if (cmd->address == 0) {
                delete cmd;
                continue;
            }
            cmd->status = RSCmd::StatusSendError;
            handOver(cmd);
        }
        lock.lock();
        return;
    }
    if (Clock::now() < nextReconnect) {
        workAvailable.wait_until(lock, nextReconnect, [this] {
            return (flags & StopRequested) || !queue.isEmpty();
        });
        return;
    }
    lock.unlock();
    const bool opened = configureAndOpen();
    nextReconnect = Clock::now() + milliseconds(ReconnectIntervalMs);
    // Announced before the first exchange on the new port can report.
    if (opened) {
        qCDebug(lcLink, "restored %s", qPrintable(configuredPortName));
        emit linkRestored(configuredPortName);
    }
    lock.lock();
    if (opened)
        flags &= ~PortLost;
}

RSCmd *RSThread::nextPoll(std::chrono::steady_clock::time_point *dueAt)
{
    const int address = monitors.nextPollAddress(std::chrono::steady_clock::now(), dueAt);
    return address < 0 ? nullptr : new RSCmd(quint8(address));
}
