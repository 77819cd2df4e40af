#include "tally/tallybridge.h"

#include "protocol/rscmd.h"
#include "supervision/mcontroller.h"

#include <algorithm>
#include <cmath>

namespace {

// The frame carries exactly 8 characters, padded with blanks, and the two
// lamp bits; states that give the same frame are the same state.
UmdState normalised(const QByteArray &text, quint8 tally)
{
    UmdState state;
    state.text = text.left(8).leftJustified(8, ' ');
    state.tally = tally & 3;
    return state;
}

} // namespace

TallyBridge::TallyBridge(MController *controller, int baud, QObject *parent)
    : QObject(parent),
      controller(controller)
{
    if (baud <= 0)
        baud = 9600;
    const double frameMs = UmdFrameBytes * 10 * 1000.0 / baud + UmdPauseMs;
    framesPerMs = BusShare / frameMs;
    clock.start();
    retry.setSingleShot(true);
    connect(&retry, &QTimer::timeout, this, &TallyBridge::sendNext);
    connect(controller, &MController::umdQueued, this, &TallyBridge::noteQueued);
    connect(controller, &MController::exchangeFinished, this, &TallyBridge::noteFinished);
    connect(controller, &MController::monitorAdded, this, &TallyBridge::noteMonitor);
    connect(controller, &MController::monitorChanged, this, &TallyBridge::noteMonitor);
    connect(controller, &MController::monitorRemoved, this, [this](const CMonitor &monitor) {
        if (monitor.address >= FirstAddress && monitor.address <= LastAddress)
            table[monitor.address].known = false;
    });
    connect(controller, &MController::linkStateChanged, this, &TallyBridge::sendNext);
    // Monitors listed before the bridge came.
    for (int i = 0; i < controller->monitorCount(); ++i) {
        if (const CMonitor *monitor = controller->monitorAt(i)) {
            Slot &slot = table[monitor->address];
            slot.known = true;
            slot.monitorState = monitor->state;
        }
    }
}

void TallyBridge::want(quint8 address, const UmdState &state)
{
    if (address < FirstAddress || address > LastAddress)
        return;
    Slot &slot = table[address];
    slot.wanted = normalised(state.text, state.tally);
    if (address == inFlight)
        return; // decided when it is done
    if (slot.shown == slot.wanted)
        slot.waitingSince = 0; // a newer state took back the waiting one
    else
        markWaiting(slot);
    sendNext();
}

void TallyBridge::markWaiting(Slot &slot)
{
    if (!slot.waitingSince)
        slot.waitingSince = ++sequence;
}

void TallyBridge::noteQueued(quint8 address, const QByteArray &text, quint8 tally)
{
    if (address < FirstAddress || address > LastAddress)
        return;
    Slot &slot = table[address];
    if (sendingOwn)
        return;
    const UmdState state = normalised(text, tally);
    // Someone else (the operator's "Set") spoke last: that is what the
    // monitor shows, and what is wanted until a source says otherwise.
    slot.shown = state;
    slot.wanted = state;
    slot.waitingSince = 0;
}

void TallyBridge::noteFinished(quint8 code, quint8 address, bool ok)
{
    if (code == RSCmd::CodeEcho) {
        // A poll that went out counts, answered or not.
        framesSincePoll = 0;
    } else if (code == RSCmd::CodeUmd) {
        ++framesSincePoll;
        if (address == inFlight) {
            inFlight = 0;
            Slot &slot = table[address];
            // Only a link fault fails a frame; the monitor gets its state
            // again when it answers once more.
            if (!ok)
                slot.shown.reset();
            else if (slot.wanted != slot.shown)
                markWaiting(slot);
        }
    } else {
        return;
    }
    sendNext();
}

void TallyBridge::noteMonitor(const CMonitor &monitor)
{
    if (monitor.address < FirstAddress || monitor.address > LastAddress)
        return;
    Slot &slot = table[monitor.address];
    const quint32 before = slot.monitorState;
    const bool wasKnown = slot.known;
    slot.known = true;
    slot.monitorState = monitor.state;
    const bool alive = !(monitor.state & CMonitor::StateZombie);
    const bool returned = wasKnown && alive
        && ((before & CMonitor::StateZombie)
            || (!(before & CMonitor::StatePower) && (monitor.state & CMonitor::StatePower)));
    if (returned && slot.wanted) {
        slot.shown.reset();
        if (monitor.address != inFlight)
            markWaiting(slot);
    }
    if (alive && slot.waitingSince)
        sendNext();
}

void TallyBridge::refill()
{
    const qint64 now = clock.elapsed();
    credit = std::min<double>(BurstFrames, credit + double(now - refilledAt) * framesPerMs);
    refilledAt = now;
}

int TallyBridge::pickNext() const
{
    int best = 0;
    bool bestLamps = false;
    for (int address = FirstAddress; address <= LastAddress; ++address) {
        const Slot &slot = table[address];
        // A zombie would not hear it; it gets its state when it answers.
        if (!slot.waitingSince || !slot.known || (slot.monitorState & CMonitor::StateZombie))
            continue;
        // Lamps not known to be lit count as off.
        const bool lamps = (slot.shown ? slot.shown->tally : 0) != slot.wanted->tally;
        if (!best || (lamps && !bestLamps)
            || (lamps == bestLamps && slot.waitingSince < table[best].waitingSince)) {
            best = address;
            bestLamps = lamps;
        }
    }
    return best;
}

void TallyBridge::sendNext()
{
    if (!controller || inFlight || framesSincePoll >= MaxFramesBetweenPolls
        || controller->linkState() != MController::LinkOk)
        return;
    const int address = pickNext();
    if (!address)
        return;
    refill();
    if (credit < 1) {
        if (!retry.isActive())
            retry.start(int(std::ceil((1 - credit) / framesPerMs)));
        return;
    }
    Slot &slot = table[address];
    slot.waitingSince = 0;
    const UmdState state = *slot.wanted;
    inFlight = quint8(address);
    sendingOwn = true;
    controller->sendUmd(state.text, state.tally, quint8(address));
    sendingOwn = false;
    slot.shown = state;
    credit -= 1;
    ++sent;
}
