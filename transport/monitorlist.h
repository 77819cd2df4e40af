#ifndef MONITORLIST_H
#define MONITORLIST_H

#include <QHash>
#include <QList>

#include <atomic>
#include <chrono>
#include <mutex>

class CMonitor;

// The known monitors, sorted by address, and the addresses the user removed.
// Owns its records. Every operation takes the list's lock; the lock is
// recursive, so that a caller may hold it across several of them.
class MonitorList
{
public:
    MonitorList() = default;
    ~MonitorList(); // deletes the records
    MonitorList(const MonitorList &) = delete;
    MonitorList &operator=(const MonitorList &) = delete;

    void lock();
    void unlock();

    int count() const;
    // Null when the index is out of range.
    CMonitor *at(int index) const;
    int alarmCount() const;
    bool wasRemoved(quint8 address) const;
    CMonitor *find(quint8 address) const;
    // Takes ownership and returns the sorted index, or -1 (nothing taken)
    // when the address is listed already.
    int add(CMonitor *monitor);
    // Deletes the record with the monitor's address and remembers the
    // address; the index it had, or -1 when it was not listed.
    int remove(CMonitor *monitor);
    // Puts the monitor in place of the record with its address, which is
    // deleted; the index, or -1 (nothing taken) when it was not listed.
    int replace(CMonitor *monitor);
    void clear();

    using Clock = std::chrono::steady_clock;

    // A zombie is polled at most once per interval instead of in every
    // round, so that dead monitors do not slow the live ones; zero polls
    // it like any other.
    void setLostPollInterval(std::chrono::milliseconds interval);

    // The address of the next status poll, in list order and round again,
    // passing over zombies polled less than the interval ago, and polling
    // due zombies one per round of the live monitors; -1 when the list is
    // empty, or when every monitor is a zombie not due yet, with *dueAt then
    // set to when the first of them is due.
    int nextPollAddress(Clock::time_point now = Clock::now(), Clock::time_point *dueAt = nullptr);
    // The record count, read without the lock: a caller holding another
    // lock must not wait for this one.
    int knownCount() const { return known.load(); }

private:
    mutable std::recursive_mutex mutex;
    QList<CMonitor *> monitors;
    QList<quint8> removedAddresses;
    int pollIndex = 0;
    std::atomic<int> known{0};
    std::chrono::milliseconds lostPollInterval{0};
    // When each address was last polled; kept only while the interval is set.
    QHash<quint8, Clock::time_point> polledAt;
    int livePollsSinceLost = 0;
};

#endif // MONITORLIST_H
