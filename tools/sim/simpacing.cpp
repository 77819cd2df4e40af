#include "tools/sim/simpacing.h"

#include <algorithm>

using namespace std::chrono;

void SimPacing::reset()
{
    *this = SimPacing();
}

void SimPacing::addHandover(Clock::time_point due, Clock::time_point done)
{
    const Clock::duration late = std::max(Clock::duration(0), done - due);
    const qint64 us = duration_cast<microseconds>(late).count();
    ++m_lateUs[size_t(std::min<qint64>(us, Buckets - 1))];
    ++m_handovers;
    m_maxLate = std::max(m_maxLate, late);
}

void SimPacing::addReply(int bytes, Clock::duration actual)
{
    if (bytes < 2)
        return;
    m_replyGaps += bytes - 1;
    m_actual += actual;
    const qint64 gapUs = duration_cast<microseconds>(actual).count() / (bytes - 1);
    ++m_gapUs[size_t(std::clamp<qint64>(gapUs, 0, Buckets - 1))];
    ++m_replies;
}

double SimPacing::percentileUs(const std::array<quint32, Buckets> &histogram, quint64 total, double p)
{
    if (total == 0)
        return 0;
    const quint64 rank = quint64(p * double(total - 1));
    quint64 seen = 0;
    for (int us = 0; us < Buckets; ++us) {
        seen += histogram[size_t(us)];
        if (seen > rank)
            return us;
    }
    return Buckets - 1;
}

QString SimPacing::report(int baud) const
{
    QString line = QStringLiteral("pacing baud=%1 handovers=%2 late_us median=%3 p99=%4 max=%5")
                       .arg(baud)
                       .arg(m_handovers)
                       .arg(percentileUs(m_lateUs, m_handovers, 0.5))
                       .arg(percentileUs(m_lateUs, m_handovers, 0.99))
                       .arg(duration_cast<microseconds>(m_maxLate).count());
    // Ten bit times per byte; a reply of n bytes spans n - 1 of them from
    // its first byte to its last.
    if (baud > 0 && m_replies > 0) {
        // Bytes that went out together (the thread came too late for the
        // first) took no time at all: no rate then.
        if (m_actual.count() > 0) {
            const double configured = baud / 10.0;
            const double achieved = double(m_replyGaps) / duration<double>(m_actual).count();
            line += QStringLiteral(" reply_bytes_per_s=%1 of %2 (%3%)")
                        .arg(achieved, 0, 'f', 0)
                        .arg(configured, 0, 'f', 0)
                        .arg(100.0 * achieved / configured, 0, 'f', 1);
        }
        line += QStringLiteral(" byte_gap_us median=%1 p90=%2 of %3")
                    .arg(percentileUs(m_gapUs, m_replies, 0.5))
                    .arg(percentileUs(m_gapUs, m_replies, 0.9))
                    .arg(1e7 / baud, 0, 'f', 1);
    }
    return line;
}
