#ifndef SIMMONITOR_H
#define SIMMONITOR_H

#include "tools/sim/simmonitorstate.h"

#include <QByteArray>

#include <chrono>
#include <optional>

// The behaviour of one simulated monitor: what a request frame does to it
// and what it answers. Time and threads are the bus's business; a monitor
// only says how its reply should go out.
class SimMonitor
{
public:
    using Clock = std::chrono::steady_clock;

    // A reply and the way it is put on the line.
    struct Reply {
        QByteArray bytes;     // sync byte first
        QByteArray noise;     // stray bytes sent before it
        int delayMs = 0;      // extra wait before the first byte
        int splitPauseMs = 0; // 0: in one piece; otherwise the pause between pieces
    };

    explicit SimMonitor(const SimMonitorState &state, Clock::time_point now = Clock::now());

    // A healthy, powered monitor with plausible contents ("KV0005", ...).
    static SimMonitorState defaultState(quint8 address);

    // A copy of the state as of `now` (a dies-after fault may have run out).
    SimMonitorState snapshot(Clock::time_point now) const;
    quint8 address() const { return m_state.address; }

    // A complete request frame addressed to this monitor.
    std::optional<Reply> handle(const QByteArray &frame, Clock::time_point now);

    void setPower(bool on);
    void setAlarm(quint8 alarm);
    void setFault(const SimFault &fault, Clock::time_point now);
    void setSerialNumber(const QString &text);
    void setVersion(const QString &text);
    void setInputMode(quint8 input, quint8 mode);
    void setRotary(int index, qint8 level);
    void setFunctions(quint32 functions);
    void setBoardVersions(const QByteArray &bytes);
    void setTimeCode(const QString &text);
    // A front-panel key; false for a code that is no key (nothing happens).
    bool pressKey(quint8 key);

    // Data of a query item, cut or zero-padded to length.
    QByteArray itemData(quint8 item, int length) const;

    // Input codes selected by the five input keys (SDI 1, SDI 2, YPbPr,
    // CVBS, DVI).
    static constexpr quint8 InputForKey[5] = {6, 7, 5, 0, 8};

private:
    bool isDead(Clock::time_point now) const;
    void markChanged(quint8 bits);

    SimMonitorState m_state;
    Clock::time_point m_faultSince;
    int m_pollsSinceFault = 0;
};

#endif // SIMMONITOR_H
