#include "tests/support/eventloopgapmeter.h"

EventLoopGapMeter::EventLoopGapMeter()
{
    timer.setInterval(1);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &timer, [this] { tick(); });
}

void EventLoopGapMeter::start()
{
    longest = 0;
    longestEnd = 0;
    count = 0;
    clock.start();
    last = 0;
    timer.start();
}

void EventLoopGapMeter::stop()
{
    // The stretch since the last timeout counts too: a loop held up at the
    // very end must not go unseen.
    if (timer.isActive())
        tick();
    timer.stop();
}

QString EventLoopGapMeter::summary() const
{
    return QStringLiteral("longest gap %1 ms, ending %2 s after the start, %3 ticks")
        .arg(longestGapMs(), 0, 'f', 1)
        .arg(longestGapEndMs() / 1000, 0, 'f', 1)
        .arg(count);
}

void EventLoopGapMeter::tick()
{
    const qint64 now = clock.nsecsElapsed();
    if (now - last > longest) {
        longest = now - last;
        longestEnd = now;
    }
    last = now;
    ++count;
}
