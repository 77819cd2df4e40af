#include "tools/sim/simfault.h"

#include "tools/sim/simcommand.h"

SimFault::SimFault(Kind kind, int value)
    : kind(kind), value(value)
{
    if (value >= 0)
        return;
    switch (kind) {
    case Noise: this->value = DefaultNoiseBytes; break;
    case Split: this->value = DefaultSplitPauseMs; break;
    case Late: this->value = DefaultLateMs; break;
    case BadAlarm: this->value = DefaultBadAlarm; break;
    default: this->value = 0; break;
    }
}

QString SimFault::toString() const
{
    switch (kind) {
    case None: return QStringLiteral("none");
    case Silence: return QStringLiteral("silence");
    case Noise: return QStringLiteral("noise %1").arg(value);
    case Split: return QStringLiteral("split %1").arg(value);
    case Late: return QStringLiteral("late %1").arg(value);
    case BadAlarm: return QStringLiteral("badalarm 0x%1").arg(value, 2, 16, QLatin1Char('0'));
    case WrongItem: return QStringLiteral("wrongitem");
    case NoQueries: return QStringLiteral("noquery");
    case DiesAfterMs:
        if (value % 1000 == 0)
            return QStringLiteral("dies-after %1s").arg(value / 1000);
        return QStringLiteral("dies-after %1ms").arg(value);
    case DiesAfterPolls: return QStringLiteral("dies-after %1 polls").arg(value);
    }
    return QString();
}

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

std::optional<SimFault> SimFault::parse(const QStringList &words, QString *error)
{
    if (words.isEmpty()) {
        fail(error, QStringLiteral("missing fault kind (silence, noise, split, late, badalarm, "
                                   "wrongitem, noquery, dies-after, none)"));
        return std::nullopt;
    }
    const QString kindWord = words.first().toLower();
    const QStringList args = words.mid(1);

    auto noArgs = [&](Kind kind) -> std::optional<SimFault> {
        if (!args.isEmpty()) {
            fail(error, QStringLiteral("fault %1 takes no argument").arg(kindWord));
            return std::nullopt;
        }
        return SimFault(kind);
    };
    // Kinds with one optional number; durations accept "ms" and "s".
    auto oneArg = [&](Kind kind, bool duration, int min, int max) -> std::optional<SimFault> {
        if (args.isEmpty())
            return SimFault(kind);
        if (args.size() > 1) {
            fail(error, QStringLiteral("fault %1 takes one argument").arg(kindWord));
            return std::nullopt;
        }
        std::optional<qint64> v;
        if (duration) {
            if (const std::optional<int> ms = SimCommand::parseDurationMs(args.first(), false))
                v = *ms;
        } else {
            v = SimCommand::parseNumber(args.first());
        }
        if (!v || *v < min || *v > max) {
            fail(error, QStringLiteral("bad %1 value '%2' (%3 to %4%5)")
                            .arg(kindWord, args.first())
                            .arg(min)
                            .arg(max)
                            .arg(duration ? QStringLiteral(" ms") : QString()));
            return std::nullopt;
        }
        return SimFault(kind, int(*v));
    };

    if (kindWord == QLatin1String("none"))
        return noArgs(None);
    if (kindWord == QLatin1String("silence"))
        return noArgs(Silence);
    if (kindWord == QLatin1String("wrongitem"))
        return noArgs(WrongItem);
    if (kindWord == QLatin1String("noquery"))
        return noArgs(NoQueries);
    if (kindWord == QLatin1String("noise"))
        return oneArg(Noise, false, 1, 64);
    if (kindWord == QLatin1String("split"))
        return oneArg(Split, true, 1, 10000);
    if (kindWord == QLatin1String("late"))
        return oneArg(Late, true, 1, 600000);
    if (kindWord == QLatin1String("badalarm"))
        return oneArg(BadAlarm, false, 0, 255);
    if (kindWord == QLatin1String("dies-after")) {
        // "dies-after 30s", "dies-after 500ms" or "dies-after 20 polls"
        if (args.size() == 2 && args.at(1).toLower() == QLatin1String("polls")) {
            const std::optional<qint64> n = SimCommand::parseNumber(args.first());
            if (!n || *n < 0 || *n > 100000000) {
                fail(error, QStringLiteral("bad poll count '%1'").arg(args.first()));
                return std::nullopt;
            }
            return SimFault(DiesAfterPolls, int(*n));
        }
        if (args.size() == 1) {
            const std::optional<int> ms = SimCommand::parseDurationMs(args.first(), true);
            if (ms && *ms >= 0)
                return SimFault(DiesAfterMs, *ms);
        }
        fail(error, QStringLiteral("dies-after needs a time or a poll count: "
                                   "'dies-after 30s', 'dies-after 500ms' or 'dies-after 20 polls'"));
        return std::nullopt;
    }
    fail(error, QStringLiteral("unknown fault '%1' (silence, noise, split, late, badalarm, "
                               "wrongitem, noquery, dies-after, none)")
                    .arg(words.first()));
    return std::nullopt;
}
