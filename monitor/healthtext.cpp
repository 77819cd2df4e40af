#include "monitor/healthtext.h"

QString HealthText::lastReply(const QDateTime &when, const QDateTime &now)
{
    if (!when.isValid())
        return tr("never");
    const QDateTime local = when.toLocalTime();
    if (local.date() == now.toLocalTime().date())
        return local.toString(QStringLiteral("hh:mm:ss"));
    return local.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString HealthText::exchangeTime(qint64 us)
{
    if (us < 0)
        return QStringLiteral("-");
    return tr("%1 ms").arg(double(us) / 1000.0, 0, 'f', 1);
}

QString HealthText::duration(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(ms, 0) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString HealthText::zombie(const BusHealth &health, const QDateTime &now)
{
    return QStringLiteral("%1 (%2)").arg(health.zombieEpisodes()).arg(duration(health.zombieMs(now)));
}

QString HealthText::summary(const BusHealth &health, const QDateTime &now)
{
    return tr("Last good reply: %1\nExchange time: median %2, worst %3\n"
              "Failed exchanges since search: %4\nZombie episodes: %5")
        .arg(lastReply(health.lastGoodReply(), now), exchangeTime(health.medianExchangeUs()),
             exchangeTime(health.worstExchangeUs()), QString::number(health.failuresSinceSearch()),
             zombie(health, now));
}
