#ifndef CMONITOR_H
#define CMONITOR_H

#include "monitor/bushealth.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <array>

// Everything known about one monitor on the bus. A plain value type: copies
// are cheap (implicitly shared texts) and independent.
class CMonitor
{
public:
    enum StateBit : quint32 {
        StatePower = 0x001,
        StateAlarmDue = 0x002,
        StateUpdateDue = 0x004,
        StateZombie = 0x100,
    };

    // Bits of pendingQueries: information items still to be fetched.
    enum PendingQuery : quint32 {
        QuerySerialNumber = 0x01,
        QueryVersion = 0x02,
        QueryInputMode = 0x04,
        QueryRotary = 0x08,
        QueryFunctions = 0x10,
        QueryBoardVersions = 0x20,
        AllQueries = 0x3F,
    };

    enum Rotary { Hue, Chroma, Bright, Contrast, Volume, RotaryCount };

    // Item numbers of the query command.
    enum Item : quint8 {
        ItemSerialNumber = 0x02,
        ItemVersion = 0x0C,
        ItemInputMode = 0x12,
        ItemRotary = 0x14,
        ItemFunctions = 0x19,
        ItemTimeCode = 0x30,
        ItemBoardVersions = 0x3E,
    };

    // One information item as the monitor is asked for it.
    struct QueryItem {
        quint32 pendingBit; // 0 for the time code, which has no pending bit
        quint8 item;
        int dataLength;
    };
    // The six pending-bit items in bit order, the order in which they are asked.
    static const std::array<QueryItem, 6> queryItems;
    static const QueryItem timeCodeItem;

    explicit CMonitor(quint8 address = 0);

    // "%1.%2.%3": high nibble, low nibble, second byte signed, two digits.
    static QString versionText(quint8 b0, quint8 b1);

    quint8 address;
    quint32 pendingQueries;
    QString serialNumber;
    QString version;
    QString timeCode;
    QByteArray boardVersions;
    quint32 state;
    qint32 alarm;
    quint8 input;
    quint8 mode;
    quint32 functions;
    std::array<qint32, RotaryCount> rotaryValues;
    BusHealth health;
};

Q_DECLARE_METATYPE(CMonitor)

// Display names of the monitor's input and video-mode codes.
extern const QStringList inputNames; // 11 entries, codes 0-10
extern const QStringList modeNames;  // 57 entries, codes 0-56

// The name for a code, or a null string when the code has no name.
QString inputName(int code);
QString modeName(int code);

#endif // CMONITOR_H
