// The health record's arithmetic: the median of odd and even counts, the
// ring of the last 32 exchange times as it wraps, failures and episodes.
#include "monitor/bushealth.h"

#include <QtTest>

class TestBusHealth : public QObject
{
    Q_OBJECT

    const QDateTime t0 = QDateTime(QDate(2026, 3, 1), QTime(14, 0), Qt::UTC);

private slots:
    void medianOfOddAndEvenCounts()
    {
        BusHealth health;
        QCOMPARE(health.medianExchangeUs(), -1);
        QCOMPARE(health.worstExchangeUs(), -1);
        for (qint64 us : {900, 100, 500})
            health.noteExchange(us, true, t0);
        QCOMPARE(health.medianExchangeUs(), 500);
        QCOMPARE(health.worstExchangeUs(), 900);
        health.noteExchange(300, true, t0);
        QCOMPARE(health.medianExchangeUs(), 400); // (300 + 500) / 2
        health.noteExchange(-5, false, t0);       // a clock that stepped back counts as 0
        QCOMPARE(health.medianExchangeUs(), 300);
        QCOMPARE(health.exchangeCount(), 5);
    }

    // Past 32 exchanges the oldest go first: a worst figure leaves the
    // window 32 exchanges after it came.
    void ringWrapsPast32()
    {
        BusHealth health;
        for (int us = 1; us <= 40; ++us)
            health.noteExchange(us, true, t0);
        QCOMPARE(health.exchangeCount(), BusHealth::Window);
        QCOMPARE(health.medianExchangeUs(), 24); // 9..40: (24 + 25) / 2
        QCOMPARE(health.worstExchangeUs(), 40);
        health.noteExchange(5000, true, t0); // 10..40 and 5000
        QCOMPARE(health.medianExchangeUs(), 25);
        QCOMPARE(health.worstExchangeUs(), 5000);
        for (int i = 0; i < BusHealth::Window - 1; ++i)
            health.noteExchange(2, true, t0);
        QCOMPARE(health.worstExchangeUs(), 5000);
        health.noteExchange(2, true, t0);
        QCOMPARE(health.worstExchangeUs(), 2);
        QCOMPARE(health.medianExchangeUs(), 2);
    }

    void failuresAndLastGoodReply()
    {
        BusHealth health;
        QVERIFY(!health.lastGoodReply().isValid());
        health.noteExchange(1000, true, t0);
        health.noteExchange(150000, false, t0.addSecs(1));
        health.noteExchange(150000, false, t0.addSecs(2));
        QCOMPARE(health.lastGoodReply(), t0);
        QCOMPARE(health.failuresSinceSearch(), 2);
        health.resetFailures();
        QCOMPARE(health.failuresSinceSearch(), 0);
        QCOMPARE(health.worstExchangeUs(), 150000); // only the count starts again
        QCOMPARE(health.lastGoodReply(), t0);
    }

    void zombieEpisodes()
    {
        BusHealth health;
        health.noteZombie(false, t0); // not a zombie: nothing ends
        QCOMPARE(health.zombieEpisodes(), 0);
        health.noteZombie(true, t0);
        health.noteZombie(true, t0.addSecs(3)); // still the same episode
        QCOMPARE(health.zombieEpisodes(), 1);
        QCOMPARE(health.zombieMs(t0.addMSecs(5500)), 5500);
        health.noteZombie(false, t0.addSecs(10));
        QVERIFY(!health.inZombieEpisode());
        QCOMPARE(health.zombieMs(t0.addSecs(60)), 10000); // ended: no longer grows
        health.noteZombie(true, t0.addSecs(20));
        QCOMPARE(health.zombieEpisodes(), 2);
        QCOMPARE(health.zombieMs(t0.addSecs(23)), 13000);
        health.noteZombie(false, t0.addSecs(19)); // the wall clock stepped back
        QCOMPARE(health.zombieMs(t0.addSecs(99)), 10000);
    }
};

QTEST_GUILESS_MAIN(TestBusHealth)
#include "tst_bushealth.moc"
