#ifndef EVENTLOG_H
#define EVENTLOG_H

#include <QFile>
#include <QString>

#include <functional>

// The rotating text log of bus events. Files are named after their creation
// time, "mc_yyyy_MM_dd-hh_mm_ss.log", in the directory of the "logpath"
// setting; a file that reaches "logsize" bytes is closed and a new one begun.
// Both settings are read for every line. Every line is on disk when write()
// returns.
class EventLog
{
public:
    static constexpr char Group[] = "log";
    static constexpr char PathKey[] = "logpath";
    static constexpr char SizeKey[] = "logsize";
    static constexpr int DefaultSize = 1048576;

    EventLog() = default;
    ~EventLog();
    EventLog(const EventLog &) = delete;
    EventLog &operator=(const EventLog &) = delete;

    // Creates the first file and writes its opening line. A directory that
    // cannot be written only gives a debug message; the log then stays closed.
    void open();
    // Writes the closing line and closes the file.
    void close();
    void write(const QString &text);

    // Called with every line once it is in the file: the time stamp, " - "
    // and the text, without the line end. The opening and closing lines of
    // each file included.
    void setLineWritten(std::function<void(const QString &line)> handler)
    {
        lineWritten = std::move(handler);
    }

    bool isOpen() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }

    // "logpath"; the working directory when it is missing or empty.
    static QString directory();

private:
    bool openNewFile(const QString &dir);
    void writeLine(const QString &text);

    QFile file;
    std::function<void(const QString &)> lineWritten;
};

#endif // EVENTLOG_H
