#include "bench/benchresult.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>

double BenchResult::exchangesPerSecond() const
{
    if (m_rate >= 0)
        return m_rate;
    return seconds > 0 ? exchanges / seconds : 0;
}

double BenchResult::cpuShare() const
{
    if (m_cpu >= 0)
        return m_cpu;
    return seconds > 0 ? cpuSeconds / seconds : 0;
}

double BenchResult::loopUsPerExchange() const
{
    if (m_loopUs >= 0)
        return m_loopUs;
    return exchanges > 0 ? 1e6 * loopCpuSeconds / exchanges : 0;
}

double BenchResult::receiverUsPerExchange() const
{
    if (m_receiverUs >= 0)
        return m_receiverUs;
    return exchanges > 0 ? 1e6 * receiverCpuSeconds / exchanges : 0;
}

double BenchResult::medianMs() const
{
    return m_medianMs >= 0 ? m_medianMs : median(cycleMs);
}

double BenchResult::p99Ms() const
{
    return m_p99Ms >= 0 ? m_p99Ms : percentile(cycleMs, 0.99);
}

BenchResult BenchResult::medianOf(const QList<BenchResult> &runs)
{
    QList<double> rate, cpu, loopUs, receiverUs, med, p99, count, failed;
    for (const BenchResult &r : runs) {
        rate << r.exchangesPerSecond();
        cpu << r.cpuShare();
        loopUs << r.loopUsPerExchange();
        receiverUs << r.receiverUsPerExchange();
        med << r.medianMs();
        p99 << r.p99Ms();
        count << r.exchanges;
        failed << r.failures;
    }
    BenchResult m;
    m.m_rate = median(rate);
    m.m_cpu = median(cpu);
    m.m_loopUs = median(loopUs);
    m.m_receiverUs = median(receiverUs);
    m.m_medianMs = median(med);
    m.m_p99Ms = median(p99);
    m.exchanges = int(median(count));
    m.failures = int(median(failed));
    return m;
}

double BenchResult::median(QList<double> values)
{
    return percentile(std::move(values), 0.5);
}

double BenchResult::percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const double rank = p * double(values.size() - 1);
    const qsizetype low = qsizetype(std::floor(rank));
    const qsizetype high = std::min(low + 1, values.size() - 1);
    const double weight = rank - double(low);
    return values[low] * (1 - weight) + values[high] * weight;
}

double BenchResult::cpuNow()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double BenchResult::threadCpuNow()
{
    return threadCpuNow(CLOCK_THREAD_CPUTIME_ID);
}

double BenchResult::threadCpuNow(clockid_t clock)
{
    timespec t{};
    if (clock_gettime(clock, &t) != 0)
        return 0;
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
