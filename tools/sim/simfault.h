#ifndef SIMFAULT_H
#define SIMFAULT_H

#include <QString>
#include <QStringList>

#include <optional>

// One misbehaviour of a simulated monitor. A monitor has at most one fault at
// a time; Kind None is a healthy monitor.
class SimFault
{
public:
    enum Kind {
        None,
        Silence,        // never answers
        Noise,          // value = number of stray bytes sent before the sync byte
        Split,          // reply in pieces; value = pause between pieces in ms
        Late,           // value = extra delay before the reply in ms
        BadAlarm,       // value = the invalid byte sent as alarm reply
        WrongItem,      // query replies echo another item number
        NoQueries,      // answers everything but information queries
        DiesAfterMs,    // answers for value ms after the fault was set, then silence
        DiesAfterPolls, // answers value status polls after the fault was set, then silence
    };

    SimFault() = default;
    SimFault(Kind kind, int value = -1);

    // The fault as written in the command language ("late 800", "dies-after 20s").
    QString toString() const;

    // Parses the words after "fault ADDR". On failure returns nothing and
    // says why in *error.
    static std::optional<SimFault> parse(const QStringList &words, QString *error = nullptr);

    static constexpr int DefaultNoiseBytes = 3;
    static constexpr int DefaultSplitPauseMs = 40;
    static constexpr int DefaultLateMs = 800;
    static constexpr int DefaultBadAlarm = 0x05;

    Kind kind = None;
    int value = 0;
};

#endif // SIMFAULT_H
