#ifndef SIMMONITORREGISTRY_H
#define SIMMONITORREGISTRY_H

#include "tools/sim/simfault.h"
#include "tools/sim/simmonitor.h"
#include "tools/sim/simmonitorstate.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

// The monitors of the bus by address. The bus thread reaches them for every
// request frame and callers for every change, so they are guarded by the
// bus mutex. The public methods take it themselves; those ending in Locked
// expect the caller to hold it, to answer a frame on the bus thread or to
// check and change several monitors in one step.
class SimMonitorRegistry
{
public:
    using Clock = std::chrono::steady_clock;

    explicit SimMonitorRegistry(std::mutex &busMutex);
    SimMonitorRegistry(const SimMonitorRegistry &) = delete;
    SimMonitorRegistry &operator=(const SimMonitorRegistry &) = delete;

    // False when the address is invalid or already has a monitor.
    bool add(const SimMonitorState &state);
    bool remove(quint8 address);
    // Runs change on the monitor at address; false when there is none.
    bool withMonitor(quint8 address, const std::function<void(SimMonitor &)> &change);

    // False when the address has no monitor.
    bool setPower(quint8 address, bool on);
    bool setAlarm(quint8 address, quint8 alarm);
    bool setFault(quint8 address, const SimFault &fault);
    bool setSerialNumber(quint8 address, const QString &text);
    bool setVersion(quint8 address, const QString &text);
    bool setInputMode(quint8 address, quint8 input, quint8 mode);
    bool setRotary(quint8 address, int index, qint8 level); // also false for an index out of 0-4
    bool setFunctions(quint8 address, quint32 functions);
    bool setBoardVersions(quint8 address, const QByteArray &bytes);
    bool setTimeCode(quint8 address, const QString &text);
    bool pressKey(quint8 address, quint8 key);

    std::optional<SimMonitorState> monitor(quint8 address) const;
    QList<quint8> addresses() const;

    // Puts a monitor at its address, replacing any there. A powered one
    // reports everything, as if just switched on.
    void insertLocked(const SimMonitorState &state);
    void removeLocked(quint8 address);
    SimMonitor *findLocked(quint8 address) const; // null when there is none
    QList<quint8> addressesLocked() const;
    std::size_t sizeLocked() const;

private:
    std::mutex &m_mutex;
    std::map<quint8, std::unique_ptr<SimMonitor>> m_monitors;
};

#endif // SIMMONITORREGISTRY_H
