#include "supervision/eventlog.h"

#include "monitor/settingsfile.h"

#include <QDateTime>
#include <QDir>
#include <QSettings>
#include <QTextStream>
#include <QtDebug>

namespace {

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss"));
}

// "logpath" of the open group; the working directory when the key is missing
// or empty. An empty path typed by hand would otherwise put the files at the
// root of the file system.
QString logDirectory(const QSettings &settings)
{
    const QString path = settings.value(QLatin1String(EventLog::PathKey)).toString();
    return path.isEmpty() ? QDir::currentPath() : path;
}

} // namespace

EventLog::~EventLog()
{
    if (file.isOpen())
        file.close();
}

QString EventLog::directory()
{
    QSettings settings = openSettings();
    settings.beginGroup(QLatin1String(Group));
    return logDirectory(settings);
}

void EventLog::open()
{
    openNewFile(directory());
    write(QStringLiteral("Log file created."));
}

void EventLog::close()
{
    if (!file.isOpen())
        return;
    // Ends this file whatever its size: the line that rotates is followed by
    // a new file, and at shutdown nothing would ever close that one.
    writeLine(QStringLiteral("Log file closed."));
    file.close();
}

bool EventLog::openNewFile(const QString &dir)
{
    // Names have a resolution of one second; a second file within the same
    // second gets a counter rather than replacing the first.
    const QString base = dir + QStringLiteral("/mc_")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd-hh_mm_ss"));
    QString name = base + QStringLiteral(".log");
    for (int n = 2; QFile::exists(name); ++n)
        name = base + QStringLiteral("_%1.log").arg(n);

    file.setFileName(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug("failed to open log file");
        return false;
    }
    return true;
}

void EventLog::writeLine(const QString &text)
{
    const QString line = timeStamp() + QStringLiteral(" - ") + text;
    {
        QTextStream stream(&file);
        stream << line << "\r\n";
    }
    if (lineWritten)
        lineWritten(line);
}

void EventLog::write(const QString &text)
{
    if (!file.isOpen())
        return;

    QSettings settings = openSettings();
    settings.beginGroup(QLatin1String(Group));
    const QString dir = logDirectory(settings);
    int limit = settings.value(QLatin1String(SizeKey), DefaultSize).toInt();
    // A limit of 0 or less would rotate on every line, the opening line of
    // each new file included.
    if (limit <= 0)
        limit = DefaultSize;

    // The size before this line decides: the line that finds the file full
    // still goes into it, followed by the closing line.
    const qint64 sizeBefore = file.size();
    writeLine(text);
    if (sizeBefore < limit)
        return;

    writeLine(QStringLiteral("Log file closed"));
    file.close();
    if (openNewFile(dir))
        write(QStringLiteral("Log file created."));
}
