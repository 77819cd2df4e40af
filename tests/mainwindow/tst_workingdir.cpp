// The working directory as operators leave it: an mc422.ini with garbage in
// it, binary junk, or a directory of that name; and a working directory that
// cannot be written at all. The window opens, reads what can be read, keeps
// the defaults for the rest, runs the bus, and loses nothing on the way.
#include "tests/support/mainwindowfixture.h"

#include "tests/support/modalwatcher.h"
#include "tests/support/scratchmount.h"
#include "tests/support/supervisionfixture.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace {

// Closes the window and answers the quit question with Yes.
void quit(MainWindowFixture &f)
{
    ModalWatcher yes([](QWidget *box) {
        auto *question = qobject_cast<QMessageBox *>(box);
        return question && (question->button(QMessageBox::Yes)->click(), true);
    });
    f.window->close();
    QVERIFY(QTest::qWaitFor([&] { return !f.window->isVisible(); }, 5000));
    f.window.reset();
}

// Runs the options dialog from the window: what it shows (directory, checked
// boxes by caption, tone), then OK.
QString optionsShownThenOk(MainWindowFixture &f)
{
    QString shown;
    ModalWatcher watcher([&](QWidget *dialog) {
        if (!dialog->findChild<QComboBox *>())
            return false;
        QStringList checked;
        for (QCheckBox *box : dialog->findChildren<QCheckBox *>()) {
            if (box->isChecked())
                checked << box->text();
        }
        checked.sort();
        shown = dialog->findChild<QLineEdit *>()->text() + '|' + checked.join(',') + '|'
              + dialog->findChild<QComboBox *>()->currentText();
        ModalWatcher::click(dialog, QStringLiteral("OK"));
        return true;
    });
    f.action("optionAct")->trigger();
    return shown;
}

QByteArray junk(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// The remote server's group keeps its defaults too: off, reading open.
const QString defaultChecks =
    QStringLiteral("Audio mute alarm,Black field alarm,Blue field alarm,Link,Reading without a token");

} // namespace

class TestWorkingDir : public QObject
{
    Q_OBJECT

private slots:
    void damagedSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("before"); // what precedes a good [serial] group; "dir": no file at all
        QTest::addColumn<QString>("shown");     // by the options dialog, "WD" for the working directory
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("floating");
        QTest::addColumn<bool>("dockShown");
        // Converted as the settings library converts: no number reads as 0
        // (the table view), "maybe" is true, an empty value false. An empty
        // log path is no path: the working directory, as without the key. A
        // tone that is no number rings once, as any other unknown tone does.
        QTest::newRow("garbage values")
            << QByteArray("pos=@Point(nonsense)\nsize=@Size(1000 x)\ncenterview=sideways\n"
                          "[detailview]\nisfloat=maybe\nisvisible=\n"
                          "[alarm]\nblue=\nnosignal=17\ntone=loud\n[log]\nlogpath=\nlogsize=huge\n")
            << "WD|Audio mute alarm,Black field alarm,Link,No signal alarm,Reading without a token|Once" << QSize(1000, -1) << true
            << false;
        QTest::newRow("binary junk") << junk(4096, 422) << "WD|" + defaultChecks + "|Once" << QSize(800, 600)
                                     << false << true;
        QTest::newRow("a directory") << QByteArray("dir") << "WD|" + defaultChecks + "|Once" << QSize(800, 600)
                                     << false << true;
    }
    void damagedSettingsFile()
    {
        QFETCH(QByteArray, before);
        MainWindowFixture f;
        const bool directory = before == "dir";
        if (directory)
            QVERIFY(QDir().mkdir(f.dir.iniPath()));
        else
            f.writeSettings(QString::fromLatin1(before + '\n'));
        QVERIFY(f.bus.addMonitor(5));
        MainWindow &w = f.open();

        QFETCH(QSize, size);
        QCOMPARE(w.width(), size.width());
        if (size.height() > 0)
            QCOMPARE(w.height(), size.height());
        QVERIFY(w.height() > 0);
        QVERIFY(f.table()->isVisible() && !f.icons()->isVisible());
        QTEST(f.dock()->isFloating(), "floating");
        QTEST(f.dock()->isVisible(), "dockShown");
        // The log goes where it would without the file, and nowhere else.
        QCOMPARE(logFilesIn(f.dir.path()).size(), 1);
        QFETCH(QString, shown);
        QCOMPARE(optionsShownThenOk(f), shown.replace("WD", QDir::currentPath()));
        f.action("iconViewAct")->trigger();
        f.action("tableViewAct")->trigger();

        if (!directory) {
            // The serial settings beyond the damage still count.
            QVERIFY(f.search({5}));
            QCOMPARE(f.w("countLabel")->text(), "1 Monitors");
        }
        quit(f);
        if (directory) {
            QVERIFY(QFileInfo(f.dir.iniPath()).isDir());
            return;
        }
        // What the file held is still there, however much the window wrote.
        QSettings ini(f.dir.iniPath(), QSettings::IniFormat);
        QCOMPARE(ini.value("serial/port").toString(), f.bus.devicePath());
        QCOMPARE(ini.value("serial/totaltimeout").toInt(), 10);
        if (before.contains("logsize"))
            QCOMPARE(ini.value("log/logsize").toString(), "huge");
    }

    // Nothing can be written where the window runs (a read-only file system:
    // the tests may run as root, whom permission bits do not stop). The
    // window reads its settings and layout and runs the bus; the log, the
    // layout, the options and the window state are not stored, silently,
    // and what is there stays as it was.
    void unwritableWorkingDirectory()
    {
        MainWindowFixture f;
        const QString where = f.dir.filePath("readonly");
        ScratchMount mount(where, 256);
        if (!mount.isValid() && ::geteuid() == 0)
            QSKIP(qPrintable("a read-only directory needs a mount here: " + mount.error()));
        QVERIFY(QDir().mkpath(where) && QDir::setCurrent(where));
        f.writeSettings(QStringLiteral("size=@Size(900 700)\ncenterview=1\n[alarm]\ntone=0\n"));
        QVERIFY(QFile::copy(f.dir.iniPath(), "mc422.ini"));
        {
            QFile layout("poslist.pon");
            QVERIFY(layout.open(QIODevice::WriteOnly));
            layout.write(QByteArray::fromHex("00000001" "05" "0000012c" "00000028")); // 5 at (300, 40)
        }
        QVERIFY(mount.isValid() ? mount.setReadOnly(true) : ::chmod(qPrintable(where), 0555) == 0);
        QVERIFY(!QFile("probe").open(QIODevice::WriteOnly));
        const QByteArray ini = f.dir.readIni();
        QVERIFY(QDir().remove(f.dir.iniPath())); // the one in the working directory counts

        QTest::ignoreMessage(QtDebugMsg, "failed to open log file");
        QVERIFY(f.bus.addMonitor(5) && f.bus.addMonitor(6));
        MainWindow &w = f.open();
        QCOMPARE(w.size(), QSize(900, 700));
        QVERIFY(f.icons()->isVisible());
        QVERIFY(f.search({5, 6}));
        QCOMPARE(f.w("countLabel")->text(), "2 Monitors");
        const QModelIndex five = f.icons()->model()->index(0, f.icons()->modelColumn());
        f.action("restoreLayoutAct")->trigger();
        const MIconView *icons = f.icons();
        QCOMPARE(icons->visualRect(five).topLeft()
                     + QPoint(icons->horizontalScrollBar()->value(), icons->verticalScrollBar()->value()),
                 QPoint(300, 40));
        f.action("saveLayoutAct")->trigger();
        QCOMPARE(optionsShownThenOk(f), QDir::currentPath() + '|' + defaultChecks + "|Off");
        f.action("tableViewAct")->trigger();
        QVERIFY(f.table()->isVisible());
        quit(f);

        QCOMPARE(QDir(where).entryList(QDir::Files | QDir::Hidden), QStringList({"mc422.ini", "poslist.pon"}));
        QFile stored("mc422.ini");
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), ini);
        QDir::setCurrent(f.dir.path());
        if (!mount.isValid())
            ::chmod(qPrintable(where), 0755);
    }
};

QTEST_MAIN(TestWorkingDir)
#include "tst_workingdir.moc"
