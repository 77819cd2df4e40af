#ifndef TSLSENDER_H
#define TSLSENDER_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

// A tally system on a thread of its own: TSL 5.0 datagrams to a port on the
// loopback address, either a timed list of packets or a random flood. It
// keeps its own CPU account so that a bench can leave it out of the
// application's.
class TslSender
{
public:
    using Clock = std::chrono::steady_clock;

    struct Timed
    {
        Clock::duration at; // after start
        QByteArray packet;
    };

    TslSender() = default;
    ~TslSender();
    TslSender(const TslSender &) = delete;
    TslSender &operator=(const TslSender &) = delete;

    // False, saying why, when no socket can be had.
    bool open(quint16 port, QString *error);

    // Sends each packet at its moment after now; sentAt() then holds the
    // moment each one left, taken just before it was handed to the kernel.
    void startTimed(const QList<Timed> &packets);
    // Random packets from `variants` at `perSecond` until stop(); each
    // variant is one display's state.
    void startFlood(const QList<QByteArray> &variants, int perSecond, quint32 seed);
    // Ends a flood, or waits for the timed list to be done.
    void stop();

    // Read after stop().
    const QList<Clock::time_point> &sentAt() const { return stamps; }
    quint64 sent() const { return sentCount; }
    quint64 failed() const { return failedCount; }
    double seconds() const { return std::chrono::duration<double>(ended - began).count(); }
    // CPU of the sending thread, from its first to its last packet.
    double cpuSeconds() const { return cpu; }
    // The sending thread's CPU clock, for readings while it runs; false
    // while no thread runs.
    bool cpuClock(clockid_t *clock);

private:
    bool sendOne(const QByteArray &packet);
    static double threadCpu();

    int fd = -1;
    std::thread worker;
    std::atomic<bool> stopping{false};
    bool flooding = false;
    QList<Clock::time_point> stamps;
    quint64 sentCount = 0;
    quint64 failedCount = 0;
    Clock::time_point began;
    Clock::time_point ended;
    double cpu = 0;
};

#endif // TSLSENDER_H
