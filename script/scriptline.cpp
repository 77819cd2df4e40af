#include "script/scriptline.h"

#include "protocol/controlkeys.h"

#include <QStringList>

namespace {

// Keywords are matched case-sensitively by their beginning.
const QLatin1String MonitorKeyword("Monitor");
const QLatin1String ButtonKeyword("Button");
const QLatin1String IdleKeyword("Idle");

// The text between "[" and "]" when the trimmed rest of a directive is
// enclosed in them, as every argument must be.
std::optional<QString> bracketed(const QString &rest)
{
    const QString text = rest.trimmed();
    if (text.size() < 2 || !text.startsWith(QLatin1Char('[')) || !text.endsWith(QLatin1Char(']')))
        return std::nullopt;
    return text.mid(1, text.size() - 2);
}

} // namespace

ScriptLine ScriptLine::parse(const QString &rawLine)
{
    ScriptLine parsed;
    const QString line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
        return parsed;
    if (!line.startsWith(QLatin1Char('@'))) {
        parsed.kind = SyntaxError;
        return parsed;
    }
    parsed.directive = line.mid(1).trimmed();
    const QString &directive = parsed.directive;
    if (directive.startsWith(MonitorKeyword)) {
        parsed.kind = Monitor;
        parsed.argument = directive.mid(MonitorKeyword.size());
    } else if (directive.startsWith(ButtonKeyword)) {
        parsed.kind = Button;
        parsed.argument = directive.mid(ButtonKeyword.size());
    } else if (directive.startsWith(IdleKeyword)) {
        parsed.kind = Idle;
        parsed.argument = directive.mid(IdleKeyword.size());
    } else {
        parsed.kind = Unknown;
    }
    return parsed;
}

QList<quint8> ScriptLine::monitors(const QString &argument)
{
    QList<quint8> addresses;
    const std::optional<QString> list = bracketed(argument);
    if (!list)
        return addresses;
    const QStringList parts = list->simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        bool ok = false;
        const uint number = part.toUInt(&ok, 10);
        if (ok)
            addresses << quint8(number & 0xFF); // a bus address is one byte
    }
    return addresses;
}

std::optional<quint8> ScriptLine::key(const QString &argument)
{
    const std::optional<QString> name = bracketed(argument);
    if (!name)
        return std::nullopt;
    return ControlKeys::codeForScriptName(name->simplified());
}

std::optional<qint64> ScriptLine::idleMs(const QString &argument)
{
    const std::optional<QString> text = bracketed(argument);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const qint64 ms = text->toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return ms;
}
