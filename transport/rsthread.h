#ifndef RSTHREAD_H
#define RSTHREAD_H

#include "protocol/rscmd.h"
#include "transport/exchange.h"
#include "transport/monitorlist.h"
#include "transport/serialsettings.h"

#include <QList>
#include <QString>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>

class CMonitor;
class QSerialPort;

// The only code that touches the serial port. One worker thread runs every
// bus exchange, strictly one at a time: a running search first, then queued
// commands, then status polls of the known monitors in turn. Each finished
// command goes to the main thread through cmdDone, which hands it over.
//
// The object also owns the monitor list. The main thread reads and changes it
// under lockMonitors(); the lock is recursive, so the list operations may be
// called while it is held. Lock order: monitor lock before queue lock, never
// the reverse. Each exchange itself is Exchange's work.
class RSThread : public QThread
{
    Q_OBJECT

public:
    enum Flag {
        StopRequested = 0x1,
        Searching = 0x2,
        PortLost = 0x4, // the device failed; the worker tries to reopen it
    };

    static constexpr quint8 FirstAddress = 1;
    static constexpr quint8 LastAddress = 126;
    static constexpr int ReadWaitMs = Exchange::ReadWaitMs;
    static constexpr int UmdPauseMs = Exchange::UmdPauseMs;
    // The pause after a failed exchange, before the next one.
    static constexpr int FailurePauseMs = 100;
    // How often a lost port is tried again.
    static constexpr int ReconnectIntervalMs = 1000;

    explicit RSThread(QObject *parent = nullptr);
    ~RSThread() override;

    // Opens the port with the current settings and starts the worker; true
    // if it runs (also when it already did).
    bool startBus();
    // Ends the worker after the exchange in progress, flushes the queue, arms
    // the next search and closes the port.
    void stopBus();
    // Flushes the queue and makes the worker probe every address from 1.
    void armSearch();
    // Ends a search without searchDone; the echo already chosen still runs.
    void cancelSearch();
    // Starts the worker without an open port, as after a lost link: it tries
    // to open the port of the last opening about once a second and, once it
    // has, goes on as
    // startBus would (with a search if one is armed). False if the worker
    // already runs.
    bool startReconnect();
    // True from a device failure until the port is open again.
    bool isPortLost() const;
    // Takes ownership of the command until cmdDone hands it on.
    void enqueue(RSCmd *cmd);

    // Opens the port unless it is open (then nothing is re-read). Runs in the
    // thread that owns the port while the worker is stopped.
    bool openPort();

    // The warning for a port that cannot be opened (see openFailed).
    static QString openFailureTitle();
    static QString openFailureText(const QString &portName);

    void lockMonitors();
    void unlockMonitors();
    int monitorCount() const;
    CMonitor *monitorAt(int index) const;
    int alarmCount() const;
    bool wasRemoved(quint8 address) const;
    CMonitor *findMonitor(quint8 address) const;
    int addMonitor(CMonitor *monitor);
    int removeMonitor(CMonitor *monitor);
    int replaceMonitor(CMonitor *monitor);
    void clearMonitors();

    // What the last opening read from the settings.
    QString portName() const;
    int totalTimeoutMs() const;

signals:
    // Emitted by openPort, in its thread, when the port cannot be opened; the
    // user interface shows its warning box from here. Without a receiver the
    // failure is logged (kelvaro.transport).
    void openFailed(const QString &portName);
    // linkLost is emitted before the cmdDone of the exchange that found the
    // failure; every command after it fails at once with status 2 until
    // linkRestored, which comes before the first exchange on the new port.
    void linkLost(const QString &portName);
    void linkRestored(const QString &portName);
    // The receiver owns the command and reads it under lockMonitors().
    void cmdDone(RSCmd *cmd);
    void searchingAddressChanged(quint8 address);
    void searchDone();

protected:
    void run() override;

private:
    using Clock = std::chrono::steady_clock;

    // Applies the stored settings to the port and opens it; no message.
    bool configureAndOpen();
    // The worker's turn while the port is lost; called and returns with the
    // queue lock held.
    void serveLostPort(std::unique_lock<std::mutex> &lock);
    // Closes the failed port and lets the worker try to reopen it.
    void losePort();
    // The next status poll, or null when the list emptied meanwhile or
    // every monitor is a zombie not due yet (*dueAt then says when one is).
    RSCmd *nextPoll(std::chrono::steady_clock::time_point *dueAt = nullptr);
    // Emits cmdDone for a finished command, or deletes it without a receiver.
    // Receivers lock the monitor list before they read it (see cmdDone).
    void handOver(RSCmd *cmd);
    void wakeWorker();

    QSerialPort *port;
    Exchange exchange; // on port, worker only while it runs
    quint8 searchAddress;
    int flags;
    mutable std::mutex queueMutex;
    QList<RSCmd *> queue;
    // The idle test reads its knownCount(), which takes no lock: the monitor
    // lock must not be taken while holding the queue lock.
    MonitorList monitors;

    // Signalled under queueMutex by whatever gives an idle worker work.
    std::condition_variable workAvailable;
    QString configuredPortName;
    QThread *portHome = nullptr; // where the port goes back when the worker ends
    Clock::time_point nextReconnect; // worker only
    // What the last opening read; a lost port is reopened with it.
    SerialSettings lastSettings;
};

#endif // RSTHREAD_H
