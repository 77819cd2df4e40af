#ifndef SIMSCENARIO_H
#define SIMSCENARIO_H

#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>

class SimBus;

// A story for the bus: lines of the command language, played in order, with
// "wait" pausing between them. Lines that cannot be parsed are reported when
// the text is loaded and skipped; lines that fail on the bus are reported
// when played. Every report names the source and the line number.
class SimScenario
{
public:
    // Reads a file; false (with the reason) when it cannot be read.
    bool load(const QString &path, QString *error = nullptr);
    // Takes the text directly; name stands in for the file name in reports.
    void setText(const QString &name, const QString &text);

    QString name() const { return m_name; }
    int lineCount() const { return int(m_lines.size()); }
    // The lines refused while loading, as "name:line: reason: 'text'".
    QStringList errors() const { return m_errors; }

    // Plays the lines against the bus until the end or cancel(); reports
    // failing lines to errorSink and goes on. Returns how many failed.
    int play(SimBus &bus, const std::function<void(const QString &)> &errorSink);
    // Ends a play() in progress at once, also in the middle of a wait.
    void cancel();

    static QString report(const QString &source, int lineNumber, const QString &line, const QString &reason);

private:
    struct Line {
        int number = 0;
        QString text;
        int waitMs = -1; // >= 0 for a wait line
    };

    QString m_name;
    QList<Line> m_lines;
    QStringList m_errors;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_cancelled = false;
};

#endif // SIMSCENARIO_H
