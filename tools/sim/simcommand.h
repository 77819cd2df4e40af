#ifndef SIMCOMMAND_H
#define SIMCOMMAND_H

#include "tools/sim/simfault.h"
#include "tools/sim/simmonitorstate.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One parsed line of the simulator's command language, the same for
// scenario files and for standard input. Parsing checks everything that can
// be checked without a bus; whether a monitor exists is the bus's concern.
class SimCommand
{
public:
    enum Verb {
        Nothing, // empty line or comment
        Add,
        Remove,
        Power,
        Alarm,
        Set,
        Key,
        Fault,
        Vanish,
        Reappear,
        Silence, // the whole line, not one monitor
        Wait,
        Status,
        Trace,
        Baud,
        Turnaround,
        Pacing, // how closely the line keeps its wire time
        Help,
        Quit,
    };

    // The items of "set".
    enum Item { SerialNumber, Version, Input, Mode, Rotary, Functions, BoardVersions, TimeCode };

    // Fields of "add" that were given.
    enum AddField : quint32 {
        AddPower = 0x001,
        AddSerialNumber = 0x002,
        AddVersion = 0x004,
        AddInput = 0x008,
        AddMode = 0x010,
        AddAlarm = 0x020,
        AddRotary = 0x040,
        AddFunctions = 0x080,
        AddBoardVersions = 0x100,
        AddTimeCode = 0x200,
    };

    static std::optional<SimCommand> parse(const QString &line, QString *error = nullptr);

    // Splits a line into words: blanks separate, double quotes group, '#'
    // outside quotes starts a comment. False for an unterminated quote.
    static bool tokenize(const QString &line, QStringList *words, QString *error = nullptr);
    // Decimal, or hexadecimal with 0x; an optional leading minus.
    static std::optional<qint64> parseNumber(const QString &word);
    // "800", "800ms" or "2s" in ms; with unitRequired a bare number is refused.
    static std::optional<int> parseDurationMs(const QString &word, bool unitRequired);
    // A key name of the control table ("SDI1", "CW3", "OFF") or a number.
    static std::optional<quint8> parseKey(const QString &word);
    // "5", "1-12", "3,7,9-11" or "all" (allAddresses set, list empty).
    static bool parseAddresses(const QString &word, QList<quint8> *addresses, bool *all,
                               QString *error = nullptr);

    static QString helpText();

    Verb verb = Nothing;
    QList<quint8> addresses;
    bool allAddresses = false;
    bool flag = false; // power on, trace on, alarm cleared, line silent, new device node
    qint64 number = 0; // alarm byte, wait ms, baud, turnaround, key code, set value
    int index = 0;     // rotary index 0-4 for "set ... rotary"
    Item item = SerialNumber;
    QString text;      // set sn/version/timecode
    QByteArray bytes;  // set boards
    quint32 addFields = 0;
    SimMonitorState init; // the fields given to "add"
    SimFault fault;
};

#endif // SIMCOMMAND_H
