#include "transport/monitorlist.h"

#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"

#include <algorithm>

MonitorList::~MonitorList()
{
    qDeleteAll(monitors);
}

void MonitorList::lock()
{
    mutex.lock();
}

void MonitorList::unlock()
{
    mutex.unlock();
}

int MonitorList::count() const
{
    std::lock_guard<std::recursive_mutex> guard(mutex);
    return int(monitors.size());
}

CMonitor *MonitorList::at(int index) const
{
    std::lock_guard<std::recursive_mutex> guard(mutex);
    if (index < 0 || index >= monitors.size())
        return nullptr;
    return monitors.at(index);
}

int MonitorList::alarmCount() const
{
    // One reading of the settings for the whole list: the count runs on
    // every change of any monitor.
    const AlarmSettings::Enables enabled = AlarmSettings::enabledKinds();
    std::lock_guard<std::recursive_mutex> guard(mutex);
    return int(std::count_if(monitors.cbegin(), monitors.cend(),
                             [&enabled](const CMonitor *m) { return hasAlarm(*m, enabled); }));
}

bool MonitorList::wasRemoved(quint8 address) const
{
    std::lock_guard<std::recursive_mutex> guard(mutex);
    return removedAddresses.contains(address);
}

CMonitor *MonitorList::find(quint8 address) const
{
    // Asked for every finished exchange; the list is sorted by address.
    std::lock_guard<std::recursive_mutex> guard(mutex);
    const auto it = std::lower_bound(monitors.cbegin(), monitors.cend(), address,
                                     [](const CMonitor *m, quint8 a) { return m->address < a; });
    return it != monitors.cend() && (*it)->address == address ? *it : nullptr;
}

int MonitorList::add(CMonitor *monitor)
{
    if (!monitor)
        return -1;
    std::lock_guard<std::recursive_mutex> guard(mutex);
    int index = 0;
    for (; index < monitors.size(); ++index) {
        const quint8 address = monitors.at(index)->address;
        if (address == monitor->address)
            return -1;
        if (address > monitor->address)
            break;
    }
    monitors.insert(index, monitor);
    known.store(int(monitors.size()));
    return index;
}

int MonitorList::remove(CMonitor *monitor)
{
    if (!monitor)
        return -1;
    std::lock_guard<std::recursive_mutex> guard(mutex);
    const quint8 address = monitor->address; // the argument may be the stored record
    for (int index = 0; index < monitors.size(); ++index) {
        CMonitor *stored = monitors.at(index);
        if (stored->address != address)
            continue;
        monitors.removeAt(index);
        removedAddresses.append(address);
        delete stored;
        known.store(int(monitors.size()));
        return index;
    }
    return -1;
}

int MonitorList::replace(CMonitor *monitor)
{
    if (!monitor)
        return -1;
    std::lock_guard<std::recursive_mutex> guard(mutex);
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

void MonitorList::clear()
{
    std::lock_guard<std::recursive_mutex> guard(mutex);
    qDeleteAll(monitors);
    monitors.clear();
    removedAddresses.clear();
    known.store(0);
}

void MonitorList::setLostPollInterval(std::chrono::milliseconds interval)
{
    std::lock_guard<std::recursive_mutex> guard(mutex);
    lostPollInterval = interval;
    polledAt.clear();
    livePollsSinceLost = 0;
}

int MonitorList::nextPollAddress(Clock::time_point now, Clock::time_point *dueAt)
{
    std::lock_guard<std::recursive_mutex> guard(mutex);
    if (monitors.isEmpty())
        return -1;
    if (lostPollInterval.count() == 0) {
        if (pollIndex >= monitors.size())
            pollIndex = 0;
        return monitors.at(pollIndex++)->address;
    }
    // Zombies due together are polled one per round of the live monitors,
    // not back to back: ten of them at once would hold every live monitor
    // up for ten time-outs.
    const int live = int(std::count_if(monitors.cbegin(), monitors.cend(), [](const CMonitor *monitor) {
        return !(monitor->state & CMonitor::StateZombie);
    }));
    const bool lostTurn = livePollsSinceLost >= live;
    Clock::time_point firstDue = Clock::time_point::max();
    for (int tried = 0; tried < monitors.size(); ++tried) {
        if (pollIndex >= monitors.size())
            pollIndex = 0;
        const CMonitor *monitor = monitors.at(pollIndex++);
        if (!(monitor->state & CMonitor::StateZombie)) {
            ++livePollsSinceLost;
            polledAt.insert(monitor->address, now);
            return monitor->address;
        }
        const auto last = polledAt.constFind(monitor->address);
        const bool due = last == polledAt.constEnd() || *last + lostPollInterval <= now;
        if (due && lostTurn) {
            livePollsSinceLost = 0;
            polledAt.insert(monitor->address, now);
            return monitor->address;
        }
        if (!due)
            firstDue = std::min(firstDue, *last + lostPollInterval);
    }
    if (dueAt)
        *dueAt = firstDue;
    return -1;
}
