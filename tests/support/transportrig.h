#ifndef TRANSPORTRIG_H
#define TRANSPORTRIG_H

#include "tests/support/cpuclock.h"
#include "tests/support/workdir.h"
#include "tools/sim/simbus.h"
#include "transport/rsthread.h"

#include <QElapsedTimer>
#include <QVariant>

// One test's world: a working directory of its own (for "mc422.ini"), a
// simulated bus on a fresh pseudo-terminal, a transport, and what its
// signals delivered to the main thread, in order. Commands handed over by
// cmdDone are copied and deleted at once, as the supervisor takes them.
class Rig
{
public:
    struct Event {
        enum Kind { Searching, SearchDone, Done, LinkLost, LinkRestored } kind;
        int address = 0, code = 0, status = 0;
        QByteArray reply; // the port's name for LinkLost and LinkRestored
        qint64 atMs = 0;  // when it reached the main thread, on the rig's clock
    };

    // Monitors on the simulated bus, and settings pointing at it with this
    // time-out (no settings file at all when negative).
    explicit Rig(const QList<int> &monitors = {}, int totalTimeoutMs = 50);
    ~Rig(); // stops the transport, delivers what is pending, leaves the directory

    static void writeSetting(const char *key, const QVariant &value);
    QList<Event> of(Event::Kind kind) const;
    QList<Event> done() const { return of(Event::Done); }
    // Each command handed over, as "address status reply-in-hex" (no reply: no hex).
    QStringList outcomes() const;
    qsizetype firstOf(Event::Kind kind) const; // events.size() when there is none
    QList<int> searched() const;
    QList<SimTraceEntry> requests() const; // request frames the bus saw, oldest first
    // Returns once no request went out for quietMs.
    void waitForQuietLine(int quietMs);

    bool valid = false;
    SimBus bus;
    RSThread thread;
    QList<Event> events;
    QStringList openFailures;
    QElapsedTimer clock; // started with the rig

private:
    WorkDir m_dir;
    QObject m_receiver; // makes the signals arrive queued, in the main thread
};

QList<int> range(int first, int last);
double msBetween(SimBus::Clock::time_point a, SimBus::Clock::time_point b);
QByteArray echoFrame(int address);

// Records every warning and every line of the frame trace (kelvaro.bus) with
// when it was written, from any thread, and still passes each message on (so
// that QTest::ignoreMessage works). The take functions return and forget them.
void watchMessages();
QStringList takeWarnings(bool threadOnly = false);
QStringList takeTrace(QList<SimBus::Clock::time_point> *times = nullptr);

#endif // TRANSPORTRIG_H
