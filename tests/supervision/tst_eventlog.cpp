// The rotating event log: file names, line format, rotation by size, the
// log's directory and what happens when it cannot be written, or goes away
// or fills up while the supervisor runs.
#include "supervision/eventlog.h"
#include "tests/support/scratchmount.h"
#include "tests/support/supervisionfixture.h"
#include "tests/support/workdir.h"

#include <QtTest>

#include <optional>

namespace {

// A supervisor logging into logDir (extra: more [log] keys) with monitor 5
// found and read out.
bool startLogging(SupervisionFixture &f, const QString &logDir, const QString &extra = QString())
{
    // A time-out that a busy machine does not turn into a zombie line.
    f.writeSettings(QStringLiteral("[log]\nlogpath=%1\n%2").arg(logDir, extra), 300);
    if (!f.bus.addMonitor(SupervisionFixture::monitorState(5)))
        return false;
    f.createController();
    return f.searchUpTo(5) && QTest::qWaitFor([&] {
        return f.controller->monitorCount() == 1 && !f.controller->monitorAt(0)->serialNumber.isEmpty();
    }, 5000);
}

// Turns monitor 5's audio mute on and off `count` times, as its replies
// show it, and returns the alarm lines the supervisor writes for them.
QStringList toggleMute(SupervisionFixture &f, int count, int *toggled)
{
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        const quint8 alarm = ++*toggled % 2 ? 0x08 : 0x00;
        if (!f.bus.setAlarm(5, alarm)
            || !QTest::qWaitFor([&] { return f.controller->monitorAt(0)->alarm == alarm; }, 5000))
            return {QStringLiteral("alarm %1 not seen").arg(alarm)};
        lines << QStringLiteral("[ALARM]: STATE(%1) - SN(KV0005) - ADDRESS(5)")
                     .arg(alarm ? "ALARM<[AUDIO MUTE]>" : "NORMAL");
    }
    return lines;
}

} // namespace

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

    // The log's directory goes away for a while, or its disk fills up,
    // while the supervisor logs: nothing stops or hangs, the lines written
    // before stay in their file, and once the directory is back or space
    // is free again the log goes on in the same file. A short outage
    // loses nothing at all: what could not be written goes in later.
    void directoryInTrouble_data()
    {
        QTest::addColumn<bool>("diskFull"); // or moved away and back
        QTest::newRow("moved away and back") << false;
        QTest::newRow("disk full, then space freed") << true;
    }
    void directoryInTrouble()
    {
        QFETCH(bool, diskFull);
        SupervisionFixture f;
        const QString logs = f.dir.filePath(QStringLiteral("logs"));
        std::optional<ScratchMount> disk;
        if (diskFull) {
            disk.emplace(logs, 64);
            if (!disk->isValid())
                QSKIP(qPrintable(disk->error()));
        } else {
            QVERIFY(QDir().mkdir(logs));
        }
        QVERIFY(startLogging(f, logs));
        const QStringList files = logFilesIn(logs);
        QCOMPARE(files.size(), 1);
        int toggled = 0;
        QStringList expected = toggleMute(f, 3, &toggled);
        const qint64 sizeBefore = QFileInfo(files.first()).size();

        // Some 80 lines of 85 bytes: more than the page the file has begun.
        const QString away = f.dir.filePath(QStringLiteral("logs.away"));
        QVERIFY(diskFull ? disk->fill() : QDir().rename(logs, away));
        expected << toggleMute(f, 80, &toggled);
        if (diskFull) {
            const qint64 sizeDuring = QFileInfo(files.first()).size();
            QVERIFY2(sizeDuring < sizeBefore + 4096, qPrintable(QString::number(sizeDuring)));
        }
        QVERIFY(diskFull ? disk->release() : QDir().rename(away, logs));
        expected << toggleMute(f, 3, &toggled);
        f.destroyController();

        QCOMPARE(logFilesIn(logs), files);
        const QStringList messages = logFileMessages(files.first());
        QCOMPARE(messages.first(), "Log file created.");
        QCOMPARE(messages.filter(QStringLiteral("[ALARM]")), expected);
        QCOMPARE(messages.last(), "Log file closed.");
        QCOMPARE(messages.filter(QRegularExpression(QStringLiteral("^(MALFORMED|UNFINISHED)"))), QStringList());
    }

    // A new file is due while the directory is gone: the log stays closed
    // from then on, the file it closed keeps every line, and the
    // supervisor goes on untroubled.
    void rotationWhileDirectoryGone()
    {
        SupervisionFixture f;
        const QString logs = f.dir.filePath(QStringLiteral("logs"));
        QVERIFY(QDir().mkdir(logs));
        QVERIFY(startLogging(f, logs, QStringLiteral("logsize=1000\n")));
        const QString away = f.dir.filePath(QStringLiteral("logs.away"));
        QVERIFY(QDir().rename(logs, away));
        int toggled = 0;
        QTest::ignoreMessage(QtDebugMsg, "failed to open log file");
        const QStringList lines = toggleMute(f, 14, &toggled); // past 1000 bytes
        QVERIFY(QDir().rename(away, logs));
        QCOMPARE(toggleMute(f, 2, &toggled).size(), 2);
        QCOMPARE(f.controller->monitorAt(0)->alarm, quint8(0));
        f.destroyController();

        const QStringList files = logFilesIn(logs);
        QCOMPARE(files.size(), 1);
        const QStringList messages = logFileMessages(files.first());
        QCOMPARE(messages.last(), "Log file closed");
        const QStringList logged = messages.filter(QStringLiteral("[ALARM]"));
        QVERIFY2(logged.size() > 3 && logged.size() < lines.size(), qPrintable(QString::number(logged.size())));
        QCOMPARE(logged, lines.mid(0, logged.size()));
    }
};

QTEST_GUILESS_MAIN(TestEventLog)
#include "tst_eventlog.moc"
