// The options dialog on a real mc422.ini in a temporary working directory:
// what it shows, what OK writes and that Cancel writes nothing.
#include "options/optiondlg.h"
#include "tests/support/modalwatcher.h"
#include "tests/support/workdir.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// The boxes' captions with the keys they are stored under, in the order of
// the bits below.
const std::pair<const char *, const char *> alarmBoxes[] = {
    {"No signal alarm", "nosignal"}, {"Blue field alarm", "blue"}, {"Black field alarm", "black"},
    {"IRE alarm", "ire"},            {"RGB alarm", "rgb"},         {"Audio mute alarm", "mute"},
};
constexpr int DefaultChecks = 0b100110;

QCheckBox *checkBox(QWidget *dialog, int bit)
{
    for (QCheckBox *box : dialog->findChildren<QCheckBox *>()) {
        if (box->text() == QLatin1String(alarmBoxes[bit].first))
            return box;
    }
    qFatal("no box %s", alarmBoxes[bit].first);
}

} // namespace

class TestOptionDlg : public QObject
{
    Q_OBJECT

    WorkDir work;

    // Runs the dialog modally; act gets it once it shows and ends it.
    int exec(const std::function<void(OptionDlg *)> &act)
    {
        OptionDlg dialog;
        ModalWatcher watcher([&](QWidget *shown) {
            if (shown == &dialog)
                act(&dialog);
            return shown == &dialog;
        });
        return dialog.exec();
    }

private slots:
    // Qt's own chooser, so that the test can answer it on any desktop.
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init() { QFile::remove(work.iniPath()); }

    // What the dialog shows for a file, and what OK stores after boxes are
    // clicked; before that, Cancel and Escape wrote nothing. Across the rows
    // every two boxes differ at least once, so that a box stored under
    // another's key shows.
    void okWrites_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("shownPath"); // empty: the working directory
        QTest::addColumn<int>("shownChecks");
        QTest::addColumn<int>("tone");        // shown and stored
        QTest::addColumn<QString>("typed");   // the directory field's text when OK is pressed
        QTest::addColumn<int>("toggle");      // bits of the boxes clicked
        QTest::addColumn<QString>("logPath"); // stored "logpath", empty if absent
        QTest::newRow("no file, empty field") << QByteArray() << QString() << DefaultChecks << 1 << QString()
                                              << 0b110000 << QString();
        QTest::newRow("some keys, off, empty field keeps the stored path")
            << QByteArray("; by hand\n[log]\nlogpath = /srv/old\nlogsize=2048\n\n"
                          "[alarm]\nire=true\nblue=false\ntone=0\n")
            << "/srv/old" << (DefaultChecks ^ 0b001010) << 0 << QString() << 0b000110 << "/srv/old";
        // Any tone but the three rings once, and shows and stores as such;
        // an empty path is no path.
        QTest::newRow("unknown tone, empty path")
            << QByteArray("[log]\nlogpath=\n[alarm]\ntone=7\n") << QString() << DefaultChecks << 1 << QString()
            << 0 << QString();
        QTest::newRow("every value turned round, continue, typed path")
            << QByteArray("[log]\nlogpath=/srv/kc-logs\n[alarm]\nnosignal=true\nblue=false\n"
                          "black=false\nire=true\nrgb=true\nmute=false\ntone=2\nlink=false\n")
            << "/srv/kc-logs" << (DefaultChecks ^ 0b111111) << 2 << "/no/such/dir" << 0 << "/no/such/dir";
    }
    void okWrites()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, shownChecks);
        QFETCH(int, toggle);
        QFETCH(QString, typed);
        QVERIFY(ini.isEmpty() || work.writeIni(ini));
        for (bool escape : {false, true}) {
            QCOMPARE(exec([&](OptionDlg *dialog) {
                dialog->findChild<QLineEdit *>()->setText("/somewhere/else");
                for (int i = 0; i < 6; ++i)
                    QTest::mouseClick(checkBox(dialog, i), Qt::LeftButton);
                dialog->findChild<QComboBox *>()->setCurrentIndex(0);
                escape ? QTest::keyClick(dialog, Qt::Key_Escape) : void(ModalWatcher::click(dialog, "Cancel"));
            }), int(QDialog::Rejected));
            QCOMPARE(work.iniExists(), !ini.isEmpty());
            QCOMPARE(work.readIni(), ini);
        }
        QString seen;
        QCOMPARE(exec([&](OptionDlg *dialog) {
            auto *path = dialog->findChild<QLineEdit *>();
            int checks = 0;
            for (int i = 0; i < 6; ++i)
                checks |= checkBox(dialog, i)->isChecked() << i;
            seen = QStringLiteral("%1|%2|%3").arg(path->text()).arg(checks)
                       .arg(dialog->findChild<QComboBox *>()->currentText());
            ModalWatcher::retype(path, typed);
            for (int i = 0; i < 6; ++i) {
                if (toggle & (1 << i))
                    QTest::mouseClick(checkBox(dialog, i), Qt::LeftButton);
            }
            ModalWatcher::click(dialog, "OK");
        }), int(QDialog::Accepted));
        QFETCH(QString, shownPath);
        QFETCH(int, tone);
        QCOMPARE(seen, QStringLiteral("%1|%2|%3").arg(shownPath.isEmpty() ? QDir::currentPath() : shownPath)
                           .arg(shownChecks).arg(QStringList({"Off", "Once", "Continue"}).at(tone)));

        QSettings settings(work.iniPath(), QSettings::IniFormat);
        QTEST(settings.value("log/logpath").toString(), "logPath");
        if (ini.contains("logsize"))
            QCOMPARE(settings.value("log/logsize").toInt(), 2048);
        settings.beginGroup("alarm");
        for (int i = 0; i < 6; ++i)
            QCOMPARE(settings.value(alarmBoxes[i].second).toBool(), bool((shownChecks ^ toggle) & (1 << i)));
        QCOMPARE(settings.value("tone").toInt(), tone);
        // The link alarm is shown and stored back as read; on by default.
        QCOMPARE(settings.value("link", "absent").toString(), ini.contains("link=false") ? "false" : "true");
    }

    // The chooser starts at the field's directory and offers directories
    // only; cancelled, it keeps the field's text, and choosing is not
    // storing. Enter in the field then means OK, not "Change".
    void changeDirectoryThenEnter()
    {
        QVERIFY(QDir(work.path()).mkpath("start/logs"));
        const QString start = work.filePath("start");
        OptionDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *field = dialog.findChild<QLineEdit *>();
        field->setText(start);
        QStringList seen;
        ModalWatcher watcher([&](QWidget *shown) {
            auto *chooser = qobject_cast<QFileDialog *>(shown);
            if (!chooser)
                return false;
            const bool dirsOnly = chooser->fileMode() == QFileDialog::Directory
                                  && chooser->testOption(QFileDialog::ShowDirsOnly);
            seen << chooser->directory().absolutePath() + (dirsOnly ? "|directories" : "|files");
            // Typed as the operator would, relative to where it started.
            chooser->findChild<QLineEdit *>("fileNameEdit")->setText("logs");
            seen.size() > 1 ? static_cast<QDialog *>(chooser)->accept() : chooser->reject();
            return true;
        });
        for (const QString &expected : {start, start + "/logs"}) {
            QTest::mouseClick(ModalWatcher::button(&dialog, "Change"), Qt::LeftButton);
            QCOMPARE(QDir(field->text()).absolutePath(), expected);
        }
        QCOMPARE(seen, QStringList({start + "|directories", start + "|directories"}));
        QVERIFY(!work.iniExists());
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(seen.size(), 2);
        QCOMPARE(QSettings(work.iniPath(), QSettings::IniFormat).value("log/logpath").toString(), start + "/logs");
    }

    // Shown as stored; switched on it stores the interval, switched off it
    // stores 0, and a file that never had the key does not get one.
    void lostMonitorPolling()
    {
        const auto run = [&](bool check, int seconds, QString *shown) {
            return exec([&](OptionDlg *dialog) {
                auto *box = dialog->findChild<QCheckBox *>();
                for (QCheckBox *candidate : dialog->findChildren<QCheckBox *>())
                    if (candidate->text() == QLatin1String("Poll lost monitors every"))
                        box = candidate;
                auto *spin = dialog->findChild<QSpinBox *>("lostPollSpin");
                *shown = QStringLiteral("%1 %2 %3").arg(box->isChecked()).arg(spin->value()).arg(spin->isEnabled());
                if (box->isChecked() != check)
                    QTest::mouseClick(box, Qt::LeftButton);
                spin->setValue(seconds);
                ModalWatcher::click(dialog, "OK");
            });
        };
        const auto stored = [&] {
            QSettings settings(work.iniPath(), QSettings::IniFormat);
            return settings.value("serial/lostpoll", "absent").toString();
        };
        QString shown;
        QVERIFY(work.writeIni("[serial]\nport=COM3\n"));
        QCOMPARE(run(false, 30, &shown), int(QDialog::Accepted));
        QCOMPARE(shown, QStringLiteral("0 10 0"));
        QCOMPARE(stored(), QStringLiteral("absent"));
        QCOMPARE(run(true, 30, &shown), int(QDialog::Accepted));
        QCOMPARE(stored(), QStringLiteral("30"));
        QCOMPARE(run(false, 30, &shown), int(QDialog::Accepted));
        QCOMPARE(shown, QStringLiteral("1 30 1"));
        QCOMPARE(stored(), QStringLiteral("0"));
        QVERIFY(work.writeIni("[serial]\nport=COM3\nlostpoll=500\n")); // out of range: off
        QCOMPARE(run(false, 30, &shown), int(QDialog::Accepted));
        QCOMPARE(shown, QStringLiteral("0 10 0"));
        QCOMPARE(stored(), QStringLiteral("0"));
        QSettings settings(work.iniPath(), QSettings::IniFormat);
        QCOMPARE(settings.value("serial/port").toString(), QStringLiteral("COM3"));
    }

    // How long an acknowledgement lasts: shown as read, where a number past
    // 60 reads as 60 and anything else that is no count of minutes as 0,
    // "until the alarm clears". Stored once set, or when the key was there;
    // a file without it, left at 0, stays without it.
    void acknowledgementMinutes_data()
    {
        QTest::addColumn<QByteArray>("line"); // in [alarm]
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("set");
        QTest::addColumn<QString>("stored");
        const QString until = QStringLiteral("Until the alarm clears");
        QTest::newRow("absent, left") << QByteArray() << until << 0 << "absent";
        QTest::newRow("absent, set") << QByteArray() << until << 1 << "1";
        QTest::newRow("set, back to 0") << QByteArray("ackminutes=15\n") << "15 minutes" << 0 << "0";
        QTest::newRow("past 60") << QByteArray("ackminutes=90\n") << "60 minutes" << 60 << "60";
        QTest::newRow("negative") << QByteArray("ackminutes=-3\n") << until << 0 << "0";
        QTest::newRow("a word") << QByteArray("ackminutes=soon\n") << until << 5 << "5";
        QTest::newRow("a fraction") << QByteArray("ackminutes=2.5\n") << until << 0 << "0";
    }
    void acknowledgementMinutes()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, set);
        QVERIFY(work.writeIni("[alarm]\ntone=2\n" + line));
        QString shown;
        QCOMPARE(exec([&](OptionDlg *dialog) {
            auto *spin = dialog->findChild<QSpinBox *>("ackMinutesSpin");
            shown = spin->text();
            spin->setValue(set);
            ModalWatcher::click(dialog, "OK");
        }), int(QDialog::Accepted));
        QTEST(shown, "shown");
        QSettings settings(work.iniPath(), QSettings::IniFormat);
        QTEST(settings.value("alarm/ackminutes", "absent").toString(), "stored");
        QCOMPARE(settings.value("alarm/tone").toInt(), 2);
    }

    // The start-up search: shown as read (only "true" or "1" is on), stored
    // once switched on or when the key was there; a file that never had the
    // key, left off, stays byte for byte as it was.
    void searchAtStart_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("set");
        QTest::addColumn<QString>("stored");
        const QByteArray base("[serial]\nport=COM3\n");
        QTest::newRow("absent, left off") << base << false << false << "absent";
        QTest::newRow("absent, switched on") << base << false << true << "true";
        QTest::newRow("on, switched off") << base + "[startup]\nsearch=true\n" << true << false << "false";
        QTest::newRow("1, kept") << base + "[startup]\nsearch=1\n" << true << true << "true";
        QTest::newRow("TRUE, kept") << base + "[startup]\nsearch=TRUE\n" << true << true << "true";
        QTest::newRow("a word reads as off") << base + "[startup]\nsearch=yes please\n" << false << false << "false";
        QTest::newRow("empty reads as off") << base + "[startup]\nsearch=\n" << false << true << "true";
    }
    void searchAtStart()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, set);
        QVERIFY(work.writeIni(ini));
        bool shown = !set;
        QCOMPARE(exec([&](OptionDlg *dialog) {
            auto *box = dialog->findChild<QCheckBox *>("searchAtStartBox");
            QCOMPARE(box->text(), QStringLiteral("Search the bus at start-up"));
            shown = box->isChecked();
            if (box->isChecked() != set)
                QTest::mouseClick(box, Qt::LeftButton);
            ModalWatcher::click(dialog, "OK");
        }), int(QDialog::Accepted));
        QTEST(shown, "shown");
        QSettings settings(work.iniPath(), QSettings::IniFormat);
        QTEST(settings.value("startup/search", "absent").toString(), "stored");
        QCOMPARE(settings.value("serial/port").toString(), QStringLiteral("COM3"));
        if (!ini.contains("startup"))
            QCOMPARE(work.readIni().contains("[startup]"), set);
    }
};

QTEST_MAIN(TestOptionDlg)
#include "tst_optiondlg.moc"
