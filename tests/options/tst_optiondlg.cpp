// The options dialog on a real mc422.ini in a temporary working directory:
// what it shows, what OK writes and that Cancel writes nothing.
#include "alarmsettings.h"
#include "iniworkdir.h"
#include "modalwatcher.h"
#include "optiondlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

// The six boxes in the order the dialog declares them.
const QStringList boxCaptions = {"No signal alarm", "Blue field alarm", "Black field alarm",
                                 "IRE alarm",       "RGB alarm",        "Audio mute alarm"};
const QStringList boxKeys = {"nosignal", "blue", "black", "ire", "rgb", "mute"};

QCheckBox *checkBox(QWidget *dialog, const QString &caption)
{
    const QList<QCheckBox *> boxes = dialog->findChildren<QCheckBox *>();
    for (QCheckBox *box : boxes) {
        if (box->text() == caption)
            return box;
    }
    return nullptr;
}

QGroupBox *groupBox(QWidget *dialog, const QString &title)
{
    const QList<QGroupBox *> groups = dialog->findChildren<QGroupBox *>();
    for (QGroupBox *group : groups) {
        if (group->title() == title)
            return group;
    }
    return nullptr;
}

// Row, column, row span and column span of widget in grid, or all -1.
QList<int> cell(QGridLayout *grid, QWidget *widget)
{
    int row = -1, column = -1, rowSpan = -1, columnSpan = -1;
    const int index = grid ? grid->indexOf(widget) : -1;
    if (index >= 0)
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return {row, column, rowSpan, columnSpan};
}

QList<bool> checkedStates(QWidget *dialog)
{
    QList<bool> states;
    for (const QString &caption : boxCaptions) {
        QCheckBox *box = checkBox(dialog, caption);
        states << (box && box->isChecked());
    }
    return states;
}

} // namespace

class TestOptionDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layout();
    void alarmBoxes_data();
    void alarmBoxes();
    void defaults();
    void storedValuesShown_data();
    void storedValuesShown();
    void okWrites_data();
    void okWrites();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void changeDirectory_data();
    void changeDirectory();

private:
    std::unique_ptr<IniWorkDir> work;
};

void TestOptionDlg::initTestCase()
{
    // Qt's own chooser, so that the test can answer it on any desktop.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestOptionDlg::init()
{
    work = std::make_unique<IniWorkDir>();
    QVERIFY(work->isValid());
}

void TestOptionDlg::cleanup()
{
    work.reset();
}

void TestOptionDlg::layout()
{
    OptionDlg dialog;
    QVERIFY(dialog.windowTitle().isEmpty());
    auto *grid = qobject_cast<QGridLayout *>(dialog.layout());
    QVERIFY(grid);
    QCOMPARE(grid->spacing(), 20);

    QGroupBox *dirGroup = groupBox(&dialog, "Log file directory");
    QGroupBox *alarmGroup = groupBox(&dialog, "Alarm setting");
    QGroupBox *toneGroup = groupBox(&dialog, "Alarm tone");
    QVERIFY(dirGroup && alarmGroup && toneGroup);
    QCOMPARE(cell(grid, dirGroup), QList<int>({0, 0, 1, 6}));
    QCOMPARE(cell(grid, alarmGroup), QList<int>({1, 0, 1, 6}));
    QCOMPARE(cell(grid, toneGroup), QList<int>({2, 0, 1, 6}));
    QCOMPARE(cell(grid, ModalWatcher::button(&dialog, "OK")), QList<int>({3, 3, 1, 1}));
    QCOMPARE(cell(grid, ModalWatcher::button(&dialog, "Cancel")), QList<int>({3, 5, 1, 1}));

    auto *dirGrid = qobject_cast<QGridLayout *>(dirGroup->layout());
    QVERIFY(dirGrid);
    auto *dirLabel = qobject_cast<QLabel *>(dirGrid->itemAtPosition(0, 0)->widget());
    QVERIFY(dirLabel);
    QCOMPARE(dirLabel->text(), QStringLiteral("Directroy"));
    QCOMPARE(cell(dirGrid, dirGroup->findChild<QLineEdit *>()), QList<int>({0, 1, 1, 4}));
    QCOMPARE(cell(dirGrid, ModalWatcher::button(&dialog, "Change")), QList<int>({0, 5, 1, 1}));

    auto *toneGrid = qobject_cast<QGridLayout *>(toneGroup->layout());
    QVERIFY(toneGrid);
    auto *toneLabel = qobject_cast<QLabel *>(toneGrid->itemAtPosition(0, 0)->widget());
    QVERIFY(toneLabel);
    QCOMPARE(toneLabel->text(), QStringLiteral("Alarm tone"));
    auto *tone = toneGroup->findChild<QComboBox *>();
    QCOMPARE(cell(toneGrid, tone), QList<int>({0, 1, 1, 2}));
    QVERIFY(!tone->isEditable());
    QStringList items;
    for (int i = 0; i < tone->count(); ++i)
        items << tone->itemText(i);
    QCOMPARE(items, QStringList({"Off", "Once", "Continue"}));
}

void TestOptionDlg::alarmBoxes_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("checkedByDefault");

    QTest::newRow("no signal") << "No signal alarm" << ":/icons/img/nosignal_alarm.png" << 0 << 0 << false;
    QTest::newRow("blue field") << "Blue field alarm" << ":/icons/img/blue_alarm.png" << 0 << 1 << true;
    QTest::newRow("black field") << "Black field alarm" << ":/icons/img/black_alarm.png" << 1 << 0 << true;
    QTest::newRow("audio mute") << "Audio mute alarm" << ":/icons/img/mute_alarm.png" << 1 << 1 << true;
    QTest::newRow("IRE") << "IRE alarm" << ":/icons/img/ire_alarm.png" << 2 << 0 << false;
    QTest::newRow("RGB") << "RGB alarm" << ":/icons/img/rgb_alarm.png" << 2 << 1 << false;
}

void TestOptionDlg::alarmBoxes()
{
    QFETCH(QString, caption);
    QFETCH(QString, icon);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, checkedByDefault);

    OptionDlg dialog;
    QCheckBox *box = checkBox(&dialog, caption);
    QVERIFY(box);
    QGroupBox *group = groupBox(&dialog, "Alarm setting");
    QVERIFY(group);
    QCOMPARE(cell(qobject_cast<QGridLayout *>(group->layout()), box),
             QList<int>({row, column, 1, 1}));
    QCOMPARE(box->isChecked(), checkedByDefault);

    const QImage expected = QIcon(icon).pixmap(32, 32).toImage();
    QVERIFY(!expected.isNull());
    QCOMPARE(box->icon().pixmap(32, 32).toImage(), expected);
}

void TestOptionDlg::defaults()
{
    QVERIFY(!work->iniExists());
    OptionDlg dialog;
    auto *field = dialog.findChild<QLineEdit *>();
    QVERIFY(field);
    QCOMPARE(field->text(), QDir::currentPath());
    QCOMPARE(checkedStates(&dialog), QList<bool>({false, true, true, false, false, true}));
    auto *tone = dialog.findChild<QComboBox *>();
    QCOMPARE(tone->currentText(), QStringLiteral("Once"));
    // Showing the dialog creates no file.
    QVERIFY(!work->iniExists());
}

void TestOptionDlg::storedValuesShown_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QList<bool>>("checked");
    QTest::addColumn<int>("tone");

    QTest::newRow("every value turned round")
        << QByteArray("[log]\nlogpath=/srv/kc-logs\n[alarm]\nnosignal=true\nblue=false\n"
                      "black=false\nire=true\nrgb=true\nmute=false\ntone=2\n")
        << "/srv/kc-logs" << QList<bool>({true, false, false, true, true, false}) << 2;
    QTest::newRow("tone off") << QByteArray("[alarm]\ntone=0\n") << QString()
                              << QList<bool>({false, true, true, false, false, true}) << 0;
    QTest::newRow("some keys only")
        << QByteArray("[alarm]\nire=true\nblue=false\n") << QString()
        << QList<bool>({false, false, true, true, false, true}) << 1;
    QTest::newRow("tone out of range") << QByteArray("[alarm]\ntone=7\n") << QString()
                                       << QList<bool>({false, true, true, false, false, true}) << -1;
    QTest::newRow("tone not a number") << QByteArray("[alarm]\ntone=loud\n") << QString()
                                       << QList<bool>({false, true, true, false, false, true}) << 0;
    QTest::newRow("other groups only")
        << QByteArray("[serial]\nport=COM2\n[log]\nlogsize=100\n") << QString()
        << QList<bool>({false, true, true, false, false, true}) << 1;
}

void TestOptionDlg::storedValuesShown()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, directory);
    QFETCH(QList<bool>, checked);
    QFETCH(int, tone);

    QVERIFY(work->writeIni(ini));
    OptionDlg dialog;
    QCOMPARE(dialog.findChild<QLineEdit *>()->text(),
             directory.isEmpty() ? QDir::currentPath() : directory);
    QCOMPARE(checkedStates(&dialog), checked);
    QCOMPARE(dialog.findChild<QComboBox *>()->currentIndex(), tone);
}

void TestOptionDlg::okWrites_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("typedDirectory"); // the field's text when OK is pressed
    QTest::addColumn<QStringList>("toggle");     // captions of boxes clicked
    QTest::addColumn<int>("tone");               // chosen index, -1 to leave it
    QTest::addColumn<QString>("logPath");        // expected "logpath", empty if absent
    QTest::addColumn<QList<bool>>("stored");     // in the dialog's box order
    QTest::addColumn<int>("storedTone");

    const QList<bool> defaults = {false, true, true, false, false, true};
    QTest::newRow("empty field, no file")
        << QByteArray() << QString() << QStringList() << -1 << QString() << defaults << 1;
    QTest::newRow("empty field keeps the stored path")
        << QByteArray("[log]\nlogpath=/srv/old\nlogsize=2048\n") << QString() << QStringList()
        << -1 << "/srv/old" << defaults << 1;
    QTest::newRow("typed path stored unchecked")
        << QByteArray("[log]\nlogpath=/srv/old\n") << "/no/such/dir" << QStringList() << -1
        << "/no/such/dir" << defaults << 1;
    QTest::newRow("off stores 0") << QByteArray() << QString() << QStringList() << 0 << QString()
                                  << defaults << 0;
    QTest::newRow("continue stores 2") << QByteArray("[alarm]\ntone=0\n") << QString()
                                       << QStringList() << 2 << QString() << defaults << 2;
    QTest::newRow("every box clicked") << QByteArray() << "/var/log/kc" << boxCaptions << -1
                                       << "/var/log/kc"
                                       << QList<bool>({true, false, false, true, true, false}) << 1;
    QTest::newRow("out-of-range tone stays unchosen")
        << QByteArray("[alarm]\ntone=9\n") << QString() << QStringList({"RGB alarm"}) << -1
        << QString() << QList<bool>({false, true, true, false, true, true}) << -1;
}

void TestOptionDlg::okWrites()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, typedDirectory);
    QFETCH(QStringList, toggle);
    QFETCH(int, tone);
    QFETCH(QString, logPath);
    QFETCH(QList<bool>, stored);
    QFETCH(int, storedTone);

    if (!ini.isEmpty())
        QVERIFY(work->writeIni(ini));
    OptionDlg dialog;
    bool pressed = false;
    ModalWatcher watcher([&](QWidget *shown) {
        if (shown != &dialog)
            return false;
        ModalWatcher::retype(dialog.findChild<QLineEdit *>(), typedDirectory);
        for (const QString &caption : toggle)
            QTest::mouseClick(checkBox(&dialog, caption), Qt::LeftButton);
        if (tone >= 0)
            dialog.findChild<QComboBox *>()->setCurrentIndex(tone);
        pressed = ModalWatcher::click(&dialog, "OK");
        return true;
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(pressed);

    QSettings settings(work->iniPath(), QSettings::IniFormat);
    QCOMPARE(settings.value("log/logpath").toString(), logPath);
    if (ini.contains("logsize"))
        QCOMPARE(settings.value("log/logsize").toInt(), 2048);
    settings.beginGroup("alarm");
    QStringList keys = settings.childKeys();
    keys.sort();
    QCOMPARE(keys, QStringList({"black", "blue", "ire", "mute", "nosignal", "rgb", "tone"}));
    for (int i = 0; i < boxKeys.size(); ++i)
        QCOMPARE(settings.value(boxKeys.at(i)).toBool(), stored.at(i));
    QCOMPARE(settings.value("tone").toInt(), storedTone);
    settings.endGroup();

    // What alarm evaluation reads is what was chosen.
    QCOMPARE(AlarmSettings::isEnabled(AlarmSettings::NoSignal), stored.at(0));
    QCOMPARE(AlarmSettings::isEnabled(AlarmSettings::BlueField), stored.at(1));
    QCOMPARE(AlarmSettings::isEnabled(AlarmSettings::AudioMute), stored.at(5));
    QCOMPARE(AlarmSettings::tone(), storedTone);
}

void TestOptionDlg::cancelWritesNothing_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("escape"); // Escape instead of the Cancel button

    // Spacing and a comment QSettings would not write back as they are.
    const QByteArray odd("; written by hand\n[alarm]\nblue = false\ntone=2\n\n[log]\nlogpath=/srv/x\n");
    QTest::newRow("no file, Cancel") << QByteArray() << false;
    QTest::newRow("hand-written file, Cancel") << odd << false;
    QTest::newRow("hand-written file, Escape") << odd << true;
}

void TestOptionDlg::cancelWritesNothing()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, escape);

    if (!ini.isEmpty())
        QVERIFY(work->writeIni(ini));
    OptionDlg dialog;
    ModalWatcher watcher([&](QWidget *shown) {
        if (shown != &dialog)
            return false;
        dialog.findChild<QLineEdit *>()->setText("/somewhere/else");
        for (const QString &caption : boxCaptions)
            QTest::mouseClick(checkBox(&dialog, caption), Qt::LeftButton);
        dialog.findChild<QComboBox *>()->setCurrentIndex(0);
        if (escape)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            ModalWatcher::click(&dialog, "Cancel");
        return true;
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(watcher.handledCount(), 1);
    if (ini.isEmpty())
        QVERIFY(!work->iniExists());
    else
        QCOMPARE(work->readIni(), ini);
}

void TestOptionDlg::changeDirectory_data()
{
    QTest::addColumn<bool>("choose");

    QTest::newRow("chooser cancelled keeps the text") << false;
    QTest::newRow("chosen directory replaces the text") << true;
}

void TestOptionDlg::changeDirectory()
{
    QFETCH(bool, choose);

    QVERIFY(QDir(work->path()).mkpath("start/logs"));
    const QString start = work->filePath("start");
    const QString chosen = work->filePath("start/logs");

    OptionDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *field = dialog.findChild<QLineEdit *>();
    field->setText(start);

    QString caption;
    QString startedIn;
    bool directoriesOnly = false;
    ModalWatcher watcher([&](QWidget *shown) {
        auto *chooser = qobject_cast<QFileDialog *>(shown);
        if (!chooser)
            return false;
        caption = chooser->windowTitle();
        startedIn = chooser->directory().absolutePath();
        directoriesOnly = chooser->fileMode() == QFileDialog::Directory
                          && chooser->testOption(QFileDialog::ShowDirsOnly);
        if (choose) {
            // Typed as the operator would, relative to where it started.
            if (auto *name = chooser->findChild<QLineEdit *>("fileNameEdit"))
                name->setText("logs");
            static_cast<QDialog *>(chooser)->accept(); // as its Choose button does
        } else {
            chooser->reject();
        }
        return true;
    });
    QTest::mouseClick(ModalWatcher::button(&dialog, "Change"), Qt::LeftButton);

    QCOMPARE(watcher.handledCount(), 1);
    QCOMPARE(caption, QStringLiteral("Select directory"));
    QCOMPARE(startedIn, start);
    QVERIFY(directoriesOnly);
    QCOMPARE(QDir(field->text()).absolutePath(), choose ? chosen : start);
    // Choosing is not storing.
    QVERIFY(!work->iniExists());
}

QTEST_MAIN(TestOptionDlg)
#include "tst_optiondlg.moc"
