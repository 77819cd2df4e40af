#ifndef SIMPACING_H
#define SIMPACING_H

#include <QString>

#include <array>
#include <chrono>

// How closely the line keeps its own deadlines where the controller sees
// them: for every reply byte how late it was handed over against the moment
// the wire time gave it, and how fast the bytes of each reply followed one
// another compared with the set speed. (Request bytes are timed from their
// due moments whenever the thread gets to them, so their lateness does not
// reach the wire.)
class SimPacing
{
public:
    using Clock = std::chrono::steady_clock;

    void reset();
    void addHandover(Clock::time_point due, Clock::time_point done);
    // One reply of `bytes` bytes sent back to back, its first and last byte
    // `actual` apart.
    void addReply(int bytes, Clock::duration actual);

    // One line: "pacing baud=N handovers=N late_us median=N p99=N max=N
    // reply_bytes_per_s=N of N (P%) byte_gap_us median=N p90=N of W". The
    // rate counts every stall of the thread; the median gap between the
    // bytes of a reply shows the pacing itself.
    QString report(int baud) const;

private:
    static constexpr int Buckets = 10000; // whole microseconds; the last one holds the rest

    static double percentileUs(const std::array<quint32, Buckets> &histogram, quint64 total, double p);

    std::array<quint32, Buckets> m_lateUs{};
    std::array<quint32, Buckets> m_gapUs{}; // mean gap of each reply
    quint64 m_replies = 0;
    quint64 m_handovers = 0;
    Clock::duration m_maxLate{0};
    qint64 m_replyGaps = 0; // byte-to-byte steps within replies
    Clock::duration m_actual{0};
};

#endif // SIMPACING_H
