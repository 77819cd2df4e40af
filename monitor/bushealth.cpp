#include "monitor/bushealth.h"

#include <algorithm>

void BusHealth::noteExchange(qint64 elapsedUs, bool ok, const QDateTime &when)
{
    recent[next] = std::max<qint64>(elapsedUs, 0);
    next = (next + 1) % Window;
    count = std::min(count + 1, Window);
    if (ok)
        lastGood = when;
    else
        ++failed;
}

void BusHealth::noteZombie(bool zombie, const QDateTime &when)
{
    if (zombie == inZombieEpisode())
        return;
    if (zombie) {
        ++episodes;
        zombieSince = when;
    } else {
        endedZombieMs += std::max<qint64>(zombieSince.msecsTo(when), 0);
        zombieSince = QDateTime();
    }
}

qint64 BusHealth::medianExchangeUs() const
{
    if (count == 0)
        return -1;
    std::array<qint64, Window> sorted = recent;
    auto middle = sorted.begin() + count / 2;
    std::nth_element(sorted.begin(), middle, sorted.begin() + count);
    if (count % 2)
        return *middle;
    // An even count: the mean of the two middle values.
    const qint64 below = *std::max_element(sorted.begin(), middle);
    return (below + *middle) / 2;
}

qint64 BusHealth::worstExchangeUs() const
{
    if (count == 0)
        return -1;
    return *std::max_element(recent.begin(), recent.begin() + count);
}

qint64 BusHealth::zombieMs(const QDateTime &now) const
{
    if (!inZombieEpisode())
        return endedZombieMs;
    return endedZombieMs + std::max<qint64>(zombieSince.msecsTo(now), 0);
}
