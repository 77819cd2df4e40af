#ifndef SIMLINE_H
#define SIMLINE_H

#include "tools/sim/simframer.h"
#include "tools/sim/simmonitor.h"
#include "tools/sim/simpacing.h"
#include "tools/sim/simtraceentry.h"
#include "tools/sim/simwire.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

class SimMonitorRegistry;

// The line between the controller and the monitors: a thread that takes the
// request bytes from the pseudo-terminal's master side, cuts them into
// frames, lets the addressed monitor answer and writes the reply back, each
// byte at its moment on a line of the set speed. What crossed the line is
// kept in a trace.
//
// Its state is guarded by the bus mutex, which it holds while a monitor
// answers a frame. The public methods take the mutex themselves; those
// ending in Locked expect the caller to hold it.
class SimLine
{
public:
    using Clock = std::chrono::steady_clock;
    using Output = std::function<void(const QStringList &lines)>;

    // Trace lines go to output, from the line's thread.
    SimLine(std::mutex &busMutex, SimMonitorRegistry &monitors, Output output);
    ~SimLine(); // stops the thread
    SimLine(const SimLine &) = delete;
    SimLine &operator=(const SimLine &) = delete;

    // False, saying why in *error, when the thread could not be woken to
    // stop and so must not be started.
    bool canStart(QString *error) const;
    // Starts answering on fd, the non-blocking master side, from an empty line.
    void start(int fd);
    // Ends the thread; whatever was still on its way is dropped. The trace
    // and the counters stay.
    void stop();

    void setBaud(int baud);
    int baud() const;
    void setTurnaround(int ms);
    int turnaround() const;
    void setLineSilent(bool silent);
    bool isLineSilent() const;
    void setTraceOutput(bool on);
    bool traceOutput() const;

    QList<SimTraceEntry> trace() const;
    void clearTrace();
    int requestCount() const;
    int replyCount() const;
    bool waitForRequests(int count, int timeoutMs) const;
    bool waitForIdle(int timeoutMs) const;

    // How closely the line kept its deadlines since the last call (or the
    // start); starts the next measurement.
    QString takePacingReport();

    static QString formatTraceEntry(const SimTraceEntry &entry, Clock::time_point origin);
    Clock::time_point origin() const;

    // For a status line read in one piece with the monitors.
    int baudLocked() const;
    int turnaroundLocked() const;
    bool isLineSilentLocked() const;
    int requestCountLocked() const;
    int replyCountLocked() const;

    static constexpr int MaxTraceEntries = 100000;
    // A sleeping thread wakes some tens of microseconds after its time,
    // more on a busy or virtual machine; at 115200 baud a byte lasts 87 us.
    // Before a reply byte the thread therefore asks to wake that much early
    // (as late as its recent wake-ups were, at most this much) and polls
    // without sleeping for the rest. Polling longer would cost more than it
    // gains on a loaded machine: a thread that keeps running loses its
    // place to those that slept.
    static constexpr std::chrono::microseconds MaxWakeAdvance{100};

private:
    // One byte waiting for its moment on the line.
    struct Pending {
        Clock::time_point due;
        quint8 byte = 0;
        std::shared_ptr<SimTraceEntry> entry; // the reply it belongs to
        bool first = false;
        bool last = false;
    };

    // The thread; everything it touches besides the descriptors is guarded
    // by the bus mutex.
    void run(int fd);
    // When the thread must look at the line next, and how.
    struct Wait {
        std::optional<Clock::time_point> sleepUntil; // none: until input or a wake-up
        Clock::time_point spinUntil; // a reply byte's moment: polling, not sleeping, just before it
    };
    // Waits as `wait` says until fd has bytes or the thread is woken. True
    // when fd can be read. Called without the mutex.
    bool waitForInput(int fd, const Wait &wait);
    bool receive(int fd); // false when the descriptor failed
    Wait nextWait() const;
    void deliverDue(Clock::time_point now);
    void writeDue(int fd, Clock::time_point now);
    void handleFrame(const SimFramer::Frame &frame);
    void schedule(quint8 address, const SimMonitor::Reply &reply, Clock::time_point ready);
    void flushGarbage(Clock::time_point at);
    void addTrace(const SimTraceEntry &entry);

    std::mutex &m_mutex; // everything below but the thread, its wake-up and output
    SimMonitorRegistry &m_monitors;
    const Output m_output;
    std::thread m_worker;
    int m_wakeFd = -1;

    mutable std::condition_variable m_changed;
    SimFramer m_framer;
    SimWire m_rxWire;
    SimWire m_txWire;
    std::deque<std::pair<Clock::time_point, quint8>> m_rx; // received, not yet delivered
    std::deque<Pending> m_tx;
    std::deque<SimTraceEntry> m_trace;
    QStringList m_traceLines; // waiting for the thread to print them
    bool m_stopWorker = false;
    bool m_lineSilent = false;
    bool m_traceOutput = false;
    int m_turnaroundMs = 0;
    int m_requests = 0;
    int m_replies = 0;
    SimPacing m_pacing;
    Clock::time_point m_replyFirstDue; // of the reply being written
    Clock::time_point m_replyFirstDone;
    std::chrono::nanoseconds m_wakeLateness{0}; // the thread's own, averaged; the thread only
    const Clock::time_point m_origin;
};

#endif // SIMLINE_H
