// The rotating event log: file names, line format, rotation by size, and
// what happens when the directory cannot be written.
#include "supervision/eventlog.h"
#include "tests/support/workdir.h"

#include <QtTest>

namespace {

QStringList logFiles(const QString &dir)
{
    QDir logDir(dir);
    QStringList files = logDir.entryList({QStringLiteral("mc_*.log")}, QDir::Files, QDir::Name);
    for (QString &file : files)
        file = logDir.filePath(file);
    return files;
}

QByteArray content(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList messages(const QString &file)
{
    QStringList result;
    const QList<QByteArray> lines = content(file).split('\n');
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        result << QString::fromUtf8(line.mid(22).chopped(1)); // stamp, " - ", CR
    }
    return result;
}

} // namespace

class TestEventLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lineFormat();
    void rotation();
    void rotationFloor_data();
    void rotationFloor();
    void pathChangeTakesEffectAtNextFile();
    void unwritableDirectory();

private:
    void writeSettings(const QString &ini);

    std::unique_ptr<WorkDir> dir;
};

void TestEventLog::init()
{
    dir = std::make_unique<WorkDir>();
    QVERIFY(dir->isValid());
}

void TestEventLog::cleanup()
{
    dir.reset();
}

void TestEventLog::writeSettings(const QString &ini)
{
    QFile file(QStringLiteral("mc422.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(ini.toUtf8());
}

void TestEventLog::lineFormat()
{
    const QDateTime before = QDateTime::currentDateTime();
    {
        EventLog log;
        log.open();
        QVERIFY(log.isOpen());
        log.write(QStringLiteral("[SEARCH]: START..."));
        // On disk as soon as write() returns.
        QCOMPARE(messages(log.fileName()).size(), 2);
        log.close();
    }
    const QStringList files = logFiles(dir->path());
    QCOMPARE(files.size(), 1);
    const QString name = QFileInfo(files.first()).fileName();
    QVERIFY2(QRegularExpression(QStringLiteral("^mc_\\d{4}_\\d{2}_\\d{2}-\\d{2}_\\d{2}_\\d{2}\\.log$"))
                 .match(name).hasMatch(), qPrintable(name));
    const QDateTime created = QDateTime::fromString(name.mid(3, 19), QStringLiteral("yyyy_MM_dd-hh_mm_ss"));
    QVERIFY(qAbs(created.secsTo(before)) <= 2);

    const QByteArray text = content(files.first());
    const QList<QByteArray> lines = text.split('\n');
    QCOMPARE(lines.size(), 4); // three lines and the empty rest after the last
    QVERIFY(text.endsWith("\r\n"));
    const QRegularExpression line(QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2} - (.*)\r$"));
    QStringList found;
    for (int i = 0; i < 3; ++i) {
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(lines.at(i)));
        QVERIFY2(match.hasMatch(), lines.at(i).constData());
        found << match.captured(1);
    }
    QCOMPARE(found, QStringList({"Log file created.", "[SEARCH]: START...", "Log file closed."}));
}

void TestEventLog::rotation()
{
    writeSettings(QStringLiteral("[log]\nlogsize=100\n"));
    EventLog log;
    log.open();
    for (int i = 1; i <= 7; ++i)
        log.write(QStringLiteral("[ERROR]: line %1").arg(i));
    log.close();

    // Each line is 22 bytes of stamp and separator plus its text and CR LF:
    // "Log file created." makes 41 bytes, "[ERROR]: line n" 39. The line that
    // finds 100 bytes or more still goes in, then the closing line.
    const QStringList files = logFiles(dir->path());
    QCOMPARE(files.size(), 3);
    QCOMPARE(messages(files.at(0)), QStringList({"Log file created.", "[ERROR]: line 1",
                                                  "[ERROR]: line 2", "[ERROR]: line 3",
                                                  "Log file closed"}));
    QCOMPARE(messages(files.at(1)), QStringList({"Log file created.", "[ERROR]: line 4",
                                                  "[ERROR]: line 5", "[ERROR]: line 6",
                                                  "Log file closed"}));
    QCOMPARE(messages(files.at(2)), QStringList({"Log file created.", "[ERROR]: line 7",
                                                  "Log file closed."}));
}

void TestEventLog::rotationFloor_data()
{
    QTest::addColumn<QString>("size");
    QTest::newRow("zero") << "0";
    QTest::newRow("negative") << "-5";
    QTest::newRow("not a number") << "big";
}

void TestEventLog::rotationFloor()
{
    QFETCH(QString, size);
    writeSettings(QStringLiteral("[log]\nlogsize=%1\n").arg(size));
    EventLog log;
    log.open();
    for (int i = 0; i < 50; ++i)
        log.write(QStringLiteral("[ERROR]: line %1").arg(i));
    log.close();
    const QStringList files = logFiles(dir->path());
    QCOMPARE(files.size(), 1);
    QCOMPARE(messages(files.first()).size(), 52);
}

void TestEventLog::pathChangeTakesEffectAtNextFile()
{
    QVERIFY(QDir().mkdir(QStringLiteral("elsewhere")));
    EventLog log;
    log.open();
    const QString first = log.fileName();
    writeSettings(QStringLiteral("[log]\nlogpath=%1\nlogsize=60\n").arg(dir->filePath("elsewhere")));
    log.write(QStringLiteral("still here")); // size before is 41: no rotation yet
    QCOMPARE(log.fileName(), first);
    log.write(QStringLiteral("last line here"));
    QVERIFY(log.fileName().startsWith(dir->filePath("elsewhere") + "/mc_"));
    log.close();
    QCOMPARE(messages(first).last(), QStringLiteral("Log file closed"));
    QCOMPARE(messages(log.fileName()), QStringList({"Log file created.", "Log file closed."}));
}

void TestEventLog::unwritableDirectory()
{
    writeSettings(QStringLiteral("[log]\nlogpath=%1\n").arg(dir->filePath("missing/deeper")));
    QTest::ignoreMessage(QtDebugMsg, "failed to open log file");
    EventLog log;
    log.open();
    QVERIFY(!log.isOpen());
    log.write(QStringLiteral("goes nowhere"));
    log.close();
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList({"mc422.ini"}));
}

QTEST_GUILESS_MAIN(TestEventLog)
#include "tst_eventlog.moc"
