#ifndef SCRIPTLINE_H
#define SCRIPTLINE_H

#include <QList>
#include <QString>

#include <optional>

// One line of a test script, taken apart without acting on it. A directive
// is "@Monitor [addresses]", "@Button [key]" or "@Idle [ms]"; blank lines and
// lines starting with "#" are skipped, any other line not starting with "@"
// is a syntax error, and an unknown directive is ignored.
class ScriptLine
{
public:
    enum Kind {
        Skip,
        SyntaxError,
        Monitor,
        Button,
        Idle,
        Unknown,
    };

    // line: one line as read, untrimmed.
    static ScriptLine parse(const QString &line);

    // The addresses named by a Monitor argument; numbers that do not parse
    // are left out, and nothing at all without the brackets.
    static QList<quint8> monitors(const QString &argument);
    // The key code a Button argument names, if any.
    static std::optional<quint8> key(const QString &argument);
    // The milliseconds an Idle argument asks for, if it is a number.
    static std::optional<qint64> idleMs(const QString &argument);

    Kind kind = Skip;
    QString directive; // the text after "@", trimmed: shown while it runs
    QString argument;  // the rest of the directive after its keyword
};

#endif // SCRIPTLINE_H
