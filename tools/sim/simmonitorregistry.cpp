#include "tools/sim/simmonitorregistry.h"

SimMonitorRegistry::SimMonitorRegistry(std::mutex &busMutex)
    : m_mutex(busMutex)
{
}

bool SimMonitorRegistry::add(const SimMonitorState &state)
{
    if (state.address < 1 || state.address > 126)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_monitors.count(state.address))
        return false;
    insertLocked(state);
    return true;
}

bool SimMonitorRegistry::remove(quint8 address)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_monitors.erase(address) > 0;
}

bool SimMonitorRegistry::withMonitor(quint8 address, const std::function<void(SimMonitor &)> &change)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_monitors.find(address);
    if (it == m_monitors.end())
        return false;
    change(*it->second);
    return true;
}

bool SimMonitorRegistry::setPower(quint8 address, bool on)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setPower(on); });
}

bool SimMonitorRegistry::setAlarm(quint8 address, quint8 alarm)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setAlarm(alarm); });
}

bool SimMonitorRegistry::setFault(quint8 address, const SimFault &fault)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setFault(fault, Clock::now()); });
}

bool SimMonitorRegistry::setSerialNumber(quint8 address, const QString &text)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setSerialNumber(text); });
}

bool SimMonitorRegistry::setVersion(quint8 address, const QString &text)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setVersion(text); });
}

bool SimMonitorRegistry::setInputMode(quint8 address, quint8 input, quint8 mode)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setInputMode(input, mode); });
}

bool SimMonitorRegistry::setRotary(quint8 address, int index, qint8 level)
{
    if (index < 0 || index > 4)
        return false;
    return withMonitor(address, [&](SimMonitor &m) { m.setRotary(index, level); });
}

bool SimMonitorRegistry::setFunctions(quint8 address, quint32 functions)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setFunctions(functions); });
}

bool SimMonitorRegistry::setBoardVersions(quint8 address, const QByteArray &bytes)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setBoardVersions(bytes); });
}

bool SimMonitorRegistry::setTimeCode(quint8 address, const QString &text)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setTimeCode(text); });
}

bool SimMonitorRegistry::pressKey(quint8 address, quint8 key)
{
    return withMonitor(address, [&](SimMonitor &m) { m.pressKey(key); });
}

std::optional<SimMonitorState> SimMonitorRegistry::monitor(quint8 address) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_monitors.find(address);
    if (it == m_monitors.end())
        return std::nullopt;
    return it->second->snapshot(Clock::now());
}

QList<quint8> SimMonitorRegistry::addresses() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return addressesLocked();
}

void SimMonitorRegistry::insertLocked(const SimMonitorState &state)
{
    SimMonitorState initial = state;
    if (initial.power) {
        // Joining the bus powered looks like being switched on.
        initial.alarmDue = true;
        initial.updateDue = true;
        initial.changedMask = SimMonitorState::ChangedAll;
    }
    m_monitors[state.address] = std::make_unique<SimMonitor>(initial, Clock::now());
}

void SimMonitorRegistry::removeLocked(quint8 address)
{
    m_monitors.erase(address);
}

SimMonitor *SimMonitorRegistry::findLocked(quint8 address) const
{
    const auto it = m_monitors.find(address);
    return it == m_monitors.end() ? nullptr : it->second.get();
}

QList<quint8> SimMonitorRegistry::addressesLocked() const
{
    QList<quint8> list;
    for (const auto &entry : m_monitors)
        list.append(entry.first);
    return list;
}

std::size_t SimMonitorRegistry::sizeLocked() const
{
    return m_monitors.size();
}
