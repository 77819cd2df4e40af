#include "rsthread.h"

#include "alarmstatus.h"
#include "cmonitor.h"
#include "serialsettings.h"

#include <QCoreApplication>
#include <QSerialPort>

#include <algorithm>
#include <thread>
#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

using std::chrono::milliseconds;

} // namespace

RSThread::RSThread(QObject *parent)
    : QThread(parent),
      // No parent: the port changes threads with the worker, which a child
      // object cannot do.
      port(new QSerialPort),
      searchAddress(FirstAddress),
      pollIndex(0),
      flags(0),
      totalTimeout(SerialSettings::DefaultTotalTimeout),
      monitorMutex(new std::recursive_mutex)
{
}

RSThread::~RSThread()
{
    stopBus();
    clearMonitors();
    delete port;
    delete monitorMutex;
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
    totalTimeout = lastSettings.totalTimeout;
    configuredPortName = lastSettings.port;
    if (configureAndOpen())
        return true;

    if (openFailureHandler)
        openFailureHandler(lastSettings.port);
    else
        qWarning("%s", qPrintable(openFailureText(lastSettings.port)));
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

void RSThread::setOpenFailureHandler(std::function<void(const QString &)> handler)
{
    openFailureHandler = std::move(handler);
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
    return totalTimeout;
}

void RSThread::lockMonitors()
{
    monitorMutex->lock();
}

void RSThread::unlockMonitors()
{
    monitorMutex->unlock();
}

int RSThread::monitorCount() const
{
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    return int(monitors.size());
}

CMonitor *RSThread::monitorAt(int index) const
{
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    if (index < 0 || index >= monitors.size())
        return nullptr;
    return monitors.at(index);
}

int RSThread::alarmCount() const
{
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    return int(std::count_if(monitors.cbegin(), monitors.cend(),
                             [](const CMonitor *m) { return hasAlarm(*m); }));
}

bool RSThread::wasRemoved(quint8 address) const
{
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    return removedAddresses.contains(address);
}

CMonitor *RSThread::findMonitor(quint8 address) const
{
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    for (CMonitor *m : monitors) {
        if (m->address == address)
            return m;
    }
    return nullptr;
}

int RSThread::addMonitor(CMonitor *monitor)
{
    if (!monitor)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    int index = 0;
    for (; index < monitors.size(); ++index) {
        const quint8 address = monitors.at(index)->address;
        if (address == monitor->address)
            return -1;
        if (address > monitor->address)
            break;
    }
    monitors.insert(index, monitor);
    monitorsChanged();
    return index;
}

int RSThread::removeMonitor(CMonitor *monitor)
{
    if (!monitor)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    const quint8 address = monitor->address; // the argument may be the stored record
    for (int index = 0; index < monitors.size(); ++index) {
        CMonitor *stored = monitors.at(index);
        if (stored->address != address)
            continue;
        monitors.removeAt(index);
        removedAddresses.append(address);
        delete stored;
        monitorsChanged();
        return index;
    }
    return -1;
}

int RSThread::replaceMonitor(CMonitor *monitor)
{
    if (!monitor)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    for (int index = 0; index < monitors.size(); ++index) {
        CMonitor *stored = monitors.at(index);
        if (stored->address != monitor->address)
            continue;
        if (stored != monitor) {
            monitors[index] = monitor;
            delete stored;
        }
        return index;
    }
    return -1;
}

void RSThread::clearMonitors()
{
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    qDeleteAll(monitors);
    monitors.clear();
    removedAddresses.clear();
    monitorsChanged();
}

// Called with the monitor lock held, which may be followed by the queue lock.
void RSThread::monitorsChanged()
{
    knownMonitors.store(int(monitors.size()));
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
        } else if (knownMonitors.load() == 0) {
            // Nothing to do: sleep until a search, a command, a monitor or a
            // stop request arrives instead of looking again at once.
            workAvailable.wait(lock, [this] {
                return (flags & (StopRequested | Searching)) || !queue.isEmpty()
                    || knownMonitors.load() > 0;
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
        if (!cmd)
            cmd = nextPoll(); // the queue lock is released before the monitor lock
        if (cmd) {
            if (cmd->address == 0) {
                delete cmd; // never sent, never reported
            } else {
                if (!transact(cmd)) {
                    if (deviceGone())
                        losePort(); // no pause: nothing is tried on it any more
                    else
                        std::this_thread::sleep_for(milliseconds(FailurePauseMs));
                }
                emit cmdDone(cmd);
            }
        }
        lock.lock();
    }
    lock.unlock();
    port->moveToThread(portHome);
}

void RSThread::losePort()
{
    port->close();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        flags |= PortLost;
    }
    nextReconnect = Clock::now() + milliseconds(ReconnectIntervalMs);
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
            emit cmdDone(cmd);
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
    if (opened)
        emit linkRestored(configuredPortName);
    lock.lock();
    if (opened)
        flags &= ~PortLost;
}

RSCmd *RSThread::nextPoll()
{
    std::lock_guard<std::recursive_mutex> lock(*monitorMutex);
    if (monitors.isEmpty())
        return nullptr;
    if (pollIndex >= monitors.size())
        pollIndex = 0;
    const CMonitor *monitor = monitors.at(pollIndex);
    ++pollIndex;
    return new RSCmd(monitor->address);
}

bool RSThread::transact(RSCmd *cmd)
{
    const QByteArray frame = cmd->request();
    if (!sendFrame(frame)) {
        cmd->status = RSCmd::StatusSendError;
        return false;
    }
    if (cmd->replyLength <= 0) {
        std::this_thread::sleep_for(milliseconds(UmdPauseMs));
        cmd->status = RSCmd::StatusOk;
        return true;
    }
    if (!receiveReply(cmd)) {
        cmd->status = RSCmd::StatusReadError;
        return false;
    }
    cmd->status = RSCmd::StatusOk;
    return true;
}

bool RSThread::sendFrame(const QByteArray &frame)
{
    const Clock::time_point deadline = Clock::now() + milliseconds(totalTimeout);
    // The error is sticky; only this exchange's own may end it.
    port->clearError();
    // Leftovers of an earlier exchange must not pass for this reply.
    if (hasLeftovers())
        port->clear();
    if (port->write(frame) < 0)
        return false;
    for (;;) {
        // Hands the driver what it takes now, without waiting. write() only
        // filled QSerialPort's buffer; a driver that refuses the bytes (a
        // device gone: EIO, ENXIO) says so here, and waiting cannot help.
        port->flush();
        if (writeRejected())
            return false;
        if (port->bytesToWrite() == 0)
            return true;
        const Clock::time_point waitStart = Clock::now();
        if (deadline <= waitStart)
            return false;
        // A device that went away answers every wait at once; pace the
        // retries instead of spinning until the deadline.
        if (!port->waitForBytesWritten(ReadWaitMs) && port->bytesToWrite() > 0)
            std::this_thread::sleep_until(waitStart + milliseconds(ReadWaitMs));
    }
}

bool RSThread::deviceGone() const
{
    if (!port->isOpen())
        return true;
    const QSerialPort::SerialPortError error = port->error();
    if (error == QSerialPort::ResourceError || error == QSerialPort::NotOpenError)
        return true;
#ifdef Q_OS_UNIX
    // A hang-up or error is reported whatever events are asked for; a
    // monitor that is merely silent leaves the descriptor quiet.
    pollfd descriptor{port->handle(), 0, 0};
    if (::poll(&descriptor, 1, 0) > 0 && (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
#endif
    return false;
}

bool RSThread::writeRejected() const
{
    const QSerialPort::SerialPortError error = port->error();
    return error == QSerialPort::WriteError || error == QSerialPort::ResourceError
        || error == QSerialPort::NotOpenError;
}

// The purge is asked only for what is there. On a pseudo-terminal (and some
// USB adapters) the driver-level flush waits for the line's own delivery
// work and costs more than a whole exchange; asking the queues is cheap.
bool RSThread::hasLeftovers() const
{
    if (port->bytesAvailable() > 0 || port->bytesToWrite() > 0)
        return true;
#ifdef Q_OS_UNIX
    const int fd = port->handle();
    int input = 0;
    int output = 0;
    // A query that fails (a device gone) purges as before.
    if (::ioctl(fd, TIOCINQ, &input) != 0 || ::ioctl(fd, TIOCOUTQ, &output) != 0)
        return true;
    return input > 0 || output > 0;
#else
    return true;
#endif
}

bool RSThread::receiveReply(RSCmd *cmd)
{
    const char sync = char(cmd->syncByte());
    const Clock::time_point deadline = Clock::now() + milliseconds(totalTimeout);
    cmd->reply.clear();
    for (;;) {
        const Clock::time_point readStart = Clock::now();
        if (port->bytesAvailable() == 0)
            port->waitForReadyRead(ReadWaitMs);
        const QByteArray arrived = port->read(cmd->replyLength - cmd->reply.size());
        cmd->reply.append(arrived);

        const qsizetype syncAt = cmd->reply.indexOf(sync);
        if (syncAt < 0)
            cmd->reply.clear();
        else if (syncAt > 0)
            cmd->reply.remove(0, syncAt); // noise or other traffic before the reply

        if (cmd->reply.size() == cmd->replyLength)
            return true;
        // A read that came back empty before its time (hang-up, error)
        // still takes its full slot, so that a dead device never makes a
        // busy loop of this phase; a device that is gone ends it at once.
        if (arrived.isEmpty()) {
            if (deviceGone())
                return false;
            std::this_thread::sleep_until(readStart + milliseconds(ReadWaitMs));
        }
        if (deadline <= Clock::now())
            return false;
    }
}
