#ifndef TALLYBRIDGE_H
#define TALLYBRIDGE_H

#include "monitor/cmonitor.h"
#include "tally/umdstate.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>
#include <optional>

class MController;

// Turns the states tally sources want into UMD frames on the bus, sparingly:
// a tally system repeats its state several times a second, and each frame
// holds a 9600-baud bus for some 40 ms that supervision needs.
//
// - A frame goes out only for a state that differs from the one last sent
//   to that address; a newer state replaces one still waiting.
// - One frame at a time is in the supervisor's queue, so that polls go out
//   between them; after MaxFramesBetweenPolls frames without a finished
//   poll, the next one waits for a poll.
// - Frames spend at most BusShare of the line's time over a run of changes,
//   with a burst of BurstFrames for the few lamps a cut changes at once.
// - Lamp changes go before text-only changes, the oldest first.
// - A monitor that comes back (leaves the zombie state, is switched on) gets
//   its last state again, whoever set it.
class TallyBridge : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxFramesBetweenPolls = 9;
    static constexpr double BusShare = 0.25;
    static constexpr int BurstFrames = 8;
    static constexpr int UmdFrameBytes = 18;
    static constexpr int UmdPauseMs = 20;

    // Paces for the baud rate the bus runs at (9600 when unknown).
    explicit TallyBridge(MController *controller, int baud = 9600, QObject *parent = nullptr);

    // The state wanted for a bus address from now on (1 to 126; others are
    // ignored).
    void want(quint8 address, const UmdState &state);

    // Frames queued with the supervisor by this bridge so far.
    quint64 framesSent() const { return sent; }

private slots:
    void noteQueued(quint8 address, const QByteArray &text, quint8 tally);
    void noteFinished(quint8 code, quint8 address, bool ok);
    void noteMonitor(const CMonitor &monitor);
    void sendNext();

private:
    struct Slot
    {
        // The newest state, from a source or the operator: also what a
        // returning monitor gets.
        std::optional<UmdState> wanted;
        std::optional<UmdState> shown; // last queued to the monitor, as far as we know
        quint64 waitingSince = 0;      // 0: not waiting
        quint32 monitorState = 0;
        bool known = false;
    };
    static constexpr int FirstAddress = 1;
    static constexpr int LastAddress = 126;

    void markWaiting(Slot &slot);
    // Earned sending credit, in frames, capped at the burst.
    void refill();
    int pickNext() const;

    QPointer<MController> controller;
    std::array<Slot, LastAddress + 1> table{};
    quint8 inFlight = 0;
    bool sendingOwn = false;
    int framesSincePoll = 0;
    quint64 sequence = 0;
    quint64 sent = 0;
    double credit = BurstFrames;
    double framesPerMs;
    QElapsedTimer clock;
    qint64 refilledAt = 0;
    QTimer retry;
};

#endif // TALLYBRIDGE_H
