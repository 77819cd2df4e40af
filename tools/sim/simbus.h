#ifndef SIMBUS_H
#define SIMBUS_H

#include "tools/sim/simcommandexecutor.h"
#include "tools/sim/simdevice.h"
#include "tools/sim/simfault.h"
#include "tools/sim/simline.h"
#include "tools/sim/simmonitorregistry.h"
#include "tools/sim/simmonitorstate.h"
#include "tools/sim/simtraceentry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

// A bus of simulated monitors behind a pseudo-terminal. The controller opens
// devicePath() as its serial port; a thread of the bus reads request frames
// from the other side and answers them as the monitors would, optionally at
// the pace of a real line. It owns and wires together the monitors
// (SimMonitorRegistry), the line and its thread (SimLine), the device with
// its link (SimDevice) and the command language (SimCommandExecutor).
//
// Every public method may be called from any thread. The message handler is
// called from the bus thread and from callers; it must not call back into
// the bus.
class SimBus
{
public:
    using Clock = std::chrono::steady_clock;

    SimBus();
    ~SimBus(); // stops the bus and removes the link
    SimBus(const SimBus &) = delete;
    SimBus &operator=(const SimBus &) = delete;

    // Creates the pseudo-terminal (and the link, if one is set) and starts
    // answering. True if it runs, also when it already did; false, with
    // nothing started, when the device or the link cannot be made.
    bool start(QString *error = nullptr);
    // Stops answering and closes the pseudo-terminal; monitors are kept.
    void stop();
    bool isRunning() const;

    // The device the controller opens, e.g. "/dev/pts/4"; empty while the
    // bus is stopped or vanished.
    QString devicePath() const;
    // A symbolic link kept pointing at the device, also across vanish and
    // reappear. An empty path removes the link.
    bool setLinkPath(const QString &path, QString *error = nullptr);
    QString linkPath() const;

    // Wire time: each byte costs 10 bit times at this rate, both ways.
    // 0 (the default) means no pacing.
    void setBaud(int baud);
    int baud() const;
    // The monitors' own delay before a reply starts, in ms (default 0).
    void setTurnaround(int ms);
    int turnaround() const;

    // One line of the command language ("add 5 power=on", "fault 5 late 800",
    // "status", ...). On failure returns false and says why in *error.
    // "wait" belongs to scenario files only and is refused here.
    bool command(const QString &line, QString *error = nullptr);

    // Typed helpers; false when the address is invalid or has no monitor
    // (addMonitor: when it already has one).
    bool addMonitor(quint8 address, bool power = true);
    bool addMonitor(const SimMonitorState &state);
    bool removeMonitor(quint8 address);
    bool setPower(quint8 address, bool on);
    bool setAlarm(quint8 address, quint8 alarm); // 0 clears; sets alarm-due
    bool setFault(quint8 address, const SimFault &fault);
    // Item changes set the item's changed bit and update-due.
    bool setSerialNumber(quint8 address, const QString &text);
    bool setVersion(quint8 address, const QString &text);
    bool setInputMode(quint8 address, quint8 input, quint8 mode);
    bool setRotary(quint8 address, int index, qint8 level); // index 0-4
    bool setFunctions(quint8 address, quint32 functions);
    bool setBoardVersions(quint8 address, const QByteArray &bytes);
    bool setTimeCode(quint8 address, const QString &text); // no changed bit
    // Presses a front-panel key as a control frame would.
    bool pressKey(quint8 address, quint8 key);

    // The whole device goes away: the pseudo-terminal is closed and its path
    // (and the link) disappear. reappear() creates a new one; devicePath()
    // then gives the new path, which may be the old one again unless newNode
    // is set. False, saying why in *error, when the device has not vanished
    // or cannot be made.
    bool vanish();
    bool reappear(QString *error = nullptr, bool newNode = false);
    bool isVanished() const;

    // The line itself falls silent, as with a cut cable: the device stays
    // open and takes every write, requests are still counted and traced,
    // but no monitor (also none added meanwhile) hears them or answers.
    // Replies on their way are lost. Monitors keep their own faults. Lasts
    // until switched off, also across vanish and reappear.
    void setLineSilent(bool silent);
    bool isLineSilent() const;

    std::optional<SimMonitorState> monitor(quint8 address) const;
    QList<quint8> addresses() const;

    // What crossed the line, oldest first (bounded; the oldest entries are
    // dropped first).
    QList<SimTraceEntry> trace() const;
    void clearTrace();
    int requestCount() const; // complete request frames, any address
    int replyCount() const;   // replies written completely
    // Waits until requestCount() reaches count; false on time-out.
    bool waitForRequests(int count, int timeoutMs) const;
    // Waits until nothing is left to write; false on time-out.
    bool waitForIdle(int timeoutMs) const;

    // Trace lines ("12.345 > 85 80") go to the message handler when on.
    void setTraceOutput(bool on);
    bool traceOutput() const;
    void setMessageHandler(std::function<void(const QString &line)> handler);
    // Called by the "quit" command; without one, "quit" stops the bus.
    void setQuitHandler(std::function<void()> handler);

    // One line per monitor, as the "status" command prints it.
    QString statusText() const;
    // A trace entry as one line, its time in ms since origin.
    static QString formatTraceEntry(const SimTraceEntry &entry, Clock::time_point origin);
    // The origin of printed trace times: when the bus was created.
    Clock::time_point origin() const;

    static constexpr int MaxTraceEntries = SimLine::MaxTraceEntries;

private:
    void emitMessages(const QStringList &lines) const;

    // Before the parts, so that the line's thread can print until the
    // device has stopped it.
    mutable std::mutex m_outputMutex; // one message at a time, in order
    std::function<void(const QString &)> m_messageHandler;

    // One mutex for the parts: the bus thread answers from the monitors
    // while callers change them, and a status line reads all parts at once.
    mutable std::mutex m_mutex;
    SimMonitorRegistry m_monitors;
    SimLine m_line;
    SimDevice m_device;
    SimCommandExecutor m_executor;
};

#endif // SIMBUS_H
