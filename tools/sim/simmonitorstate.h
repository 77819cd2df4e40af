#ifndef SIMMONITORSTATE_H
#define SIMMONITORSTATE_H

#include "tools/sim/simfault.h"

#include <QByteArray>
#include <QString>

#include <array>

// Everything a simulated monitor holds, as a plain copyable value. The
// simulator hands out copies of it; changing a copy changes nothing.
struct SimMonitorState
{
    // Bits of the changed-items mask, the same values the controller uses
    // for the items it must fetch again.
    enum Changed : quint8 {
        ChangedSerialNumber = 0x01,
        ChangedVersion = 0x02,
        ChangedInputMode = 0x04,
        ChangedRotary = 0x08,
        ChangedFunctions = 0x10,
        ChangedBoardVersions = 0x20,
        ChangedAll = 0x3F,
    };

    // Bits of the status-poll reply.
    enum StateBit : quint8 { StatePower = 0x01, StateAlarmDue = 0x02, StateUpdateDue = 0x04 };

    quint8 stateBits() const
    {
        return quint8((power ? StatePower : 0) | (alarmDue ? StateAlarmDue : 0)
                      | (updateDue ? StateUpdateDue : 0));
    }

    quint8 address = 0;
    bool power = true;
    quint8 alarm = 0;
    bool alarmDue = false;
    bool updateDue = false;
    quint8 changedMask = 0;

    QString serialNumber;
    QString version;
    quint8 input = 6; // SDI 1
    quint8 mode = 9;  // 1920x1080/59.94I
    std::array<qint8, 5> rotary{}; // hue, chroma, bright, contrast, volume
    quint32 functions = 0;
    QByteArray boardVersions; // 10 bytes, two per board
    QString timeCode;

    QByteArray umdText; // the 8 text bytes of the last UMD frame, empty if none
    quint8 umdTally = 0; // bit 0 red, bit 1 green
    int umdFrames = 0;

    SimFault fault;
    bool dead = false; // a dies-after fault has run out

    int requests = 0; // complete request frames addressed to this monitor
    int replies = 0;  // replies scheduled for sending
};

#endif // SIMMONITORSTATE_H
