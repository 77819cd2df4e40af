// The rotating event log: file names, line format, rotation by size, the
// log's directory and what happens when it cannot be written.
#include "supervision/eventlog.h"
#include "tests/support/supervisionfixture.h"
#include "tests/support/workdir.h"

#include <QtTest>

class TestEventLog : public QObject
{
    Q_OBJECT

private slots:
    void rotation_data()
    {
        QTest::addColumn<QByteArray>("size");
        QTest::addColumn<QList<int>>("linesPerFile");
        // Each line is 22 bytes of stamp and separator plus its text and CR LF:
        // "Log file created." makes 41 bytes, "[ERROR]: line n" 39. The line that
        // finds 100 bytes or more still goes in, then the closing line.
        QTest::newRow("100 bytes") << QByteArray("100") << QList<int>{3, 3, 1};
        // The last file is full when the log closes: the closing line still
        // ends it, and no file is left behind that nothing closes.
        QTest::newRow("full when closed") << QByteArray("80") << QList<int>{2, 2, 2, 1};
        // A limit below one byte would rotate at every line: the default counts.
        QTest::newRow("zero") << QByteArray("0") << QList<int>{7};
        QTest::newRow("negative") << QByteArray("-5") << QList<int>{7};
        QTest::newRow("not a number") << QByteArray("big") << QList<int>{7};
    }

    void rotation()
    {
        QFETCH(QByteArray, size);
        QFETCH(QList<int>, linesPerFile);
        const WorkDir dir; // a fresh one for each row
        QVERIFY(dir.isValid() && dir.writeIni("[log]\nlogsize=" + size + "\n"));
        const QDateTime before = QDateTime::currentDateTime();
        EventLog log;
        log.open();
        QCOMPARE(logFileMessages(log.fileName()), QStringList({"Log file created."})); // on disk at once
        for (int i = 1; i <= 7; ++i)
            log.write(QStringLiteral("[ERROR]: line %1").arg(i));
        log.close();

        const QStringList files = logFilesIn(dir.path());
        QCOMPARE(files.size(), linesPerFile.size());
        for (int n = 0, line = 1; n < files.size(); ++n) {
            QStringList expected{"Log file created."};
            for (int i = 0; i < linesPerFile[n]; ++i)
                expected << QStringLiteral("[ERROR]: line %1").arg(line++);
            // A rotation closes without the full stop of the last file's close.
            expected << (n + 1 < files.size() ? "Log file closed" : "Log file closed.");
            QCOMPARE(logFileMessages(files.at(n)), expected);
        }
        // Named after the time it was created; a second file in the same
        // second gets a counter.
        const QString name = QFileInfo(files.first()).fileName();
        const QDateTime created = QDateTime::fromString(name, QStringLiteral("'mc_'yyyy_MM_dd-hh_mm_ss'.log'"));
        QVERIFY2(created.isValid() && qAbs(created.secsTo(before)) <= 2, qPrintable(name));
    }

    void directory()
    {
        // One that cannot be written leaves the log closed, and no file anywhere.
        const WorkDir dir;
        QVERIFY(dir.isValid() && dir.writeIni("[log]\nlogpath=" + dir.filePath("missing/deeper").toUtf8() + "\n"));
        QTest::ignoreMessage(QtDebugMsg, "failed to open log file");
        auto log = std::make_unique<EventLog>();
        log->open();
        QVERIFY(!log->isOpen());
        log->write(QStringLiteral("goes nowhere"));
        log->close();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"mc422.ini"}));

        // A new directory counts from the next file on.
        QVERIFY(QDir().mkdir(QStringLiteral("elsewhere")) && dir.writeIni(QByteArray()));
        log = std::make_unique<EventLog>();
        log->open();
        const QString first = log->fileName();
        QVERIFY(dir.writeIni("[log]\nlogpath=" + dir.filePath("elsewhere").toUtf8() + "\nlogsize=60\n"));
        log->write(QStringLiteral("still here")); // size before is 41: no rotation yet
        QCOMPARE(log->fileName(), first);
        log->write(QStringLiteral("last line here"));
        QVERIFY(log->fileName().startsWith(dir.filePath("elsewhere") + "/mc_"));
        log->close();
        QCOMPARE(logFileMessages(first).mid(3), QStringList({"Log file closed"}));
        QCOMPARE(logFileMessages(log->fileName()), QStringList({"Log file created.", "Log file closed."}));
    }
};

QTEST_GUILESS_MAIN(TestEventLog)
#include "tst_eventlog.moc"
