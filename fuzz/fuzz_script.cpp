// Test-script lines: any file content, read as the runner reads a script,
// must be taken apart without a fault and consistently.
#include "script/scriptline.h"

#include <QBuffer>
#include <QByteArray>
#include <QTextStream>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line)) {
        const ScriptLine parsed = ScriptLine::parse(line);
        const QString trimmed = line.trimmed();
        const bool skipped = trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'));
        if ((parsed.kind == ScriptLine::Skip) != skipped)
            std::abort();
        if (parsed.kind == ScriptLine::SyntaxError && trimmed.startsWith(QLatin1Char('@')))
            std::abort();
        if (parsed.kind >= ScriptLine::Monitor) {
            // The directive alone, given back, reads the same.
            const ScriptLine again = ScriptLine::parse(QLatin1Char('@') + parsed.directive);
            if (again.kind != parsed.kind || again.argument != parsed.argument
                || !parsed.directive.endsWith(parsed.argument))
                std::abort();
        }
        // The argument parsers see every kind of text, not only well-formed
        // arguments.
        const QString argument = parsed.kind == ScriptLine::Unknown ? parsed.directive
                                                                     : parsed.argument;
        if (ScriptLine::monitors(argument).size() > argument.size())
            std::abort();
        ScriptLine::key(argument);
        ScriptLine::idleMs(argument);
    }
    return 0;
}
