#ifndef HEALTHTEXT_H
#define HEALTHTEXT_H

#include "monitor/bushealth.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

// The bus health figures as every view writes them, so that the detail
// window, the row's tooltip and the health window read alike.
class HealthText
{
    Q_DECLARE_TR_FUNCTIONS(HealthText)

public:
    // "hh:mm:ss" today, with the date before it on other days; "never".
    static QString lastReply(const QDateTime &when, const QDateTime &now);
    // Milliseconds with one decimal, "4.2 ms"; "-" before the first exchange.
    static QString exchangeTime(qint64 us);
    // "h:mm:ss".
    static QString duration(qint64 ms);
    // "2 (0:01:05)": episodes and their total time.
    static QString zombie(const BusHealth &health, const QDateTime &now);
    // The figures in a few lines, for a tooltip.
    static QString summary(const BusHealth &health, const QDateTime &now);
};

#endif // HEALTHTEXT_H
