#ifndef BUSHEALTH_H
#define BUSHEALTH_H

#include <QDateTime>

#include <array>

// How one monitor fares on the bus: the figures an engineer asks for before
// a monitor turns zombie. A plain value kept in the monitor's record; the
// supervisor feeds it one finished exchange at a time, timed by the worker.
class BusHealth
{
public:
    // Exchange times kept for the median and the worst.
    static constexpr int Window = 32;

    // One exchange with this monitor: its time from the first request byte
    // handed to the port to the last reply byte read, in microseconds, and
    // whether it succeeded. A success at `when` is the last good reply.
    void noteExchange(qint64 elapsedUs, bool ok, const QDateTime &when);
    // The monitor turned zombie, or came back, at `when`. Repeats of the
    // state it is already in are ignored.
    void noteZombie(bool zombie, const QDateTime &when);
    // A new search: the failure count starts again. Everything else stays,
    // since it describes the monitor, not the search.
    void resetFailures() { failed = 0; }

    QDateTime lastGoodReply() const { return lastGood; }
    // Over the last Window exchanges, successful or not; -1 before the first.
    qint64 medianExchangeUs() const;
    qint64 worstExchangeUs() const;
    int exchangeCount() const { return count; } // up to Window
    int failuresSinceSearch() const { return failed; }
    int zombieEpisodes() const { return episodes; }
    // Ended episodes plus the one in progress up to `now`, in milliseconds.
    qint64 zombieMs(const QDateTime &now) const;
    bool inZombieEpisode() const { return zombieSince.isValid(); }

private:
    std::array<qint64, Window> recent{}; // a ring, `count` of them valid
    int count = 0;
    int next = 0;
    int failed = 0;
    int episodes = 0;
    qint64 endedZombieMs = 0;
    QDateTime zombieSince; // invalid unless in an episode
    QDateTime lastGood;
};

#endif // BUSHEALTH_H
