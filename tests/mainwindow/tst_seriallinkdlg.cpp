// The serial link dialog on a real mc422.ini in a temporary working
// directory, run the way the main window runs it.
#include "iniworkdir.h"
#include "modalwatcher.h"
#include "seriallinkdlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QStringList captions = {"COM",    "Baudrate",     "Data bits",  "Stop bits",
                              "Parity", "Flow control", "Timeout(ms)"};

// The input on the caption's row of the "Configure" grid, checked to sit
// where the dialog's layout puts it.
QWidget *field(QWidget *dialog, const QString &caption)
{
    const QList<QGroupBox *> groups = dialog->findChildren<QGroupBox *>();
    if (groups.size() != 1 || groups.first()->title() != QLatin1String("Configure"))
        return nullptr;
    auto *grid = qobject_cast<QGridLayout *>(groups.first()->layout());
    if (!grid)
        return nullptr;
    for (int i = 0; i < grid->count(); ++i) {
        auto *label = qobject_cast<QLabel *>(grid->itemAt(i)->widget());
        if (!label || label->text() != caption)
            continue;
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        if (column != 0 || rowSpan != 1 || columnSpan != 2)
            return nullptr;
        QLayoutItem *input = grid->itemAtPosition(row, 2);
        if (!input)
            return nullptr;
        grid->getItemPosition(grid->indexOf(input), &row, &column, &rowSpan, &columnSpan);
        return columnSpan == 3 ? input->widget() : nullptr;
    }
    return nullptr;
}

QComboBox *combo(QWidget *dialog, const QString &caption)
{
    return qobject_cast<QComboBox *>(field(dialog, caption));
}

QLineEdit *timeoutEdit(QWidget *dialog)
{
    return qobject_cast<QLineEdit *>(field(dialog, "Timeout(ms)"));
}

QStringList items(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

QStringList classicPorts()
{
    QStringList names;
    for (int i = 1; i <= 8; ++i)
        names << QStringLiteral("COM%1").arg(i);
    return names;
}

// What the dialog shows, one text per row (the port's and each box's
// current text, the time-out's text), and the boxes' indexes.
struct Shown {
    QStringList texts;
    QList<int> indexes;
};

Shown shown(QWidget *dialog)
{
    Shown s;
    for (const QString &caption : captions.mid(0, 6)) {
        QComboBox *box = combo(dialog, caption);
        s.texts << (box ? box->currentText() : QStringLiteral("<missing>"));
        s.indexes << (box ? box->currentIndex() : -2);
    }
    QLineEdit *edit = timeoutEdit(dialog);
    s.texts << (edit ? edit->text() : QStringLiteral("<missing>"));
    return s;
}

} // namespace

class TestSerialLinkDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout();
    void fixedLists_data();
    void fixedLists();
    void portList();
    void stableNames();
    void defaults();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void storedSettings_data();
    void storedSettings();
    void typedPort_data();
    void typedPort();
    void timeoutText_data();
    void timeoutText();

private:
    // Runs configure() the way the main window does; act gets the dialog
    // once it shows and presses a button itself.
    bool configure(const std::function<void(QDialog *)> &act);

    std::unique_ptr<IniWorkDir> work;
};

void TestSerialLinkDlg::init()
{
    work = std::make_unique<IniWorkDir>();
    QVERIFY(work->isValid());
}

void TestSerialLinkDlg::cleanup()
{
    work.reset();
}

bool TestSerialLinkDlg::configure(const std::function<void(QDialog *)> &act)
{
    ModalWatcher watcher([&](QWidget *shownDialog) {
        auto *dialog = qobject_cast<SerialLinkDlg *>(shownDialog);
        if (!dialog)
            return false;
        act(dialog);
        return true;
    });
    return SerialLinkDlg::configure(nullptr);
}

void TestSerialLinkDlg::layout()
{
    SerialLinkDlg dialog;
    QVERIFY(dialog.windowTitle().isEmpty());
    for (int row = 0; row < captions.size(); ++row) {
        QWidget *input = field(&dialog, captions.at(row));
        QVERIFY2(input, qPrintable(captions.at(row)));
        auto *grid = qobject_cast<QGridLayout *>(input->parentWidget()->layout());
        int r, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(input), &r, &column, &rowSpan, &columnSpan);
        QCOMPARE(r, row);
    }
    QVERIFY(timeoutEdit(&dialog));

    auto *grid = qobject_cast<QGridLayout *>(dialog.layout());
    QVERIFY(grid);
    QCOMPARE(grid->spacing(), 20);
    auto position = [grid](QWidget *widget) {
        int row = -1, column = -1, rowSpan = -1, columnSpan = -1;
        const int index = widget ? grid->indexOf(widget) : -1;
        if (index >= 0)
            grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        return QList<int>({row, column, rowSpan, columnSpan});
    };
    QCOMPARE(position(dialog.findChild<QGroupBox *>()), QList<int>({0, 0, 1, 3}));
    QLabel *notice = nullptr;
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        if (label->parentWidget() == &dialog)
            notice = label;
    }
    QVERIFY(notice);
    QCOMPARE(notice->text(), QStringLiteral("You must do SEARCH after change parameters"));
    QCOMPARE(position(notice), QList<int>({1, 0, 1, 3}));
    QCOMPARE(position(ModalWatcher::button(&dialog, "OK")), QList<int>({2, 0, 1, 1}));
    QCOMPARE(position(ModalWatcher::button(&dialog, "Cancel")), QList<int>({2, 2, 1, 1}));
}

void TestSerialLinkDlg::fixedLists_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("baud rates")
        << "Baudrate"
        << QStringList({"50", "75", "110", "134", "150", "200", "300", "600", "1200", "1800",
                        "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600"});
    QTest::newRow("data bits") << "Data bits"
                               << QStringList({"5 Bits", "6 Bits", "7 Bits", "8 Bits"});
    QTest::newRow("stop bits") << "Stop bits" << QStringList({"1 Bits", "1.5 Bits", "2 Bits"});
    QTest::newRow("parity") << "Parity" << QStringList({"None", "Odd", "Even"});
    QTest::newRow("flow control") << "Flow control" << QStringList({"None", "Hardware", "XONXOFF"});
}

void TestSerialLinkDlg::fixedLists()
{
    QFETCH(QString, caption);
    QFETCH(QStringList, items);

    SerialLinkDlg dialog;
    QComboBox *box = combo(&dialog, caption);
    QVERIFY(box);
    QCOMPARE(::items(box), items);
    QVERIFY(!box->isEditable());
}

void TestSerialLinkDlg::portList()
{
    SerialLinkDlg dialog;
    QComboBox *port = combo(&dialog, "COM");
    QVERIFY(port);
    const QStringList names = items(port);
    QCOMPARE(names.mid(0, 8), classicPorts());
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
#ifdef Q_OS_WIN
    QCOMPARE(names.size(), 8);
    QVERIFY(!port->isEditable());
#else
    QVERIFY(port->isEditable());
    // Every port the system reports follows, by its path or by a stable
    // link to it.
    const QStringList offered = names.mid(8);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString device = QFileInfo(info.systemLocation()).canonicalFilePath();
        bool found = offered.contains(info.systemLocation());
        for (const QString &name : offered) {
            if (name.startsWith("/dev/serial/by-id/")
                && QFileInfo(name).canonicalFilePath() == device)
                found = true;
        }
        QVERIFY2(found, qPrintable(info.systemLocation()));
    }
    QCOMPARE(offered.size(), QSerialPortInfo::availablePorts().size());
#endif
}

void TestSerialLinkDlg::stableNames()
{
    QDir base(work->path());
    QVERIFY(base.mkpath("dev/serial/by-id"));
    for (const char *device : {"ttyUSB0", "ttyACM0", "ttyS4"}) {
        QFile file(base.filePath(QStringLiteral("dev/") + device));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString byId = base.filePath("dev/serial/by-id");
    // Relative and absolute links as udev and people make them, a link whose
    // device has gone, and a plain file that is no link at all.
    QVERIFY(QFile::link("../../ttyUSB0", byId + "/usb-Kelvaro_RS422_A1-if00-port0"));
    QVERIFY(QFile::link(base.filePath("dev/ttyACM0"), byId + "/usb-Other_B2-if00"));
    QVERIFY(QFile::link("../../ttyUSB7", byId + "/usb-Gone_C3-if00-port0"));
    {
        QFile plain(byId + "/pci-0000-ttyS4");
        QVERIFY(plain.open(QIODevice::WriteOnly));
    }
    // A device reached through a link of its own still finds its stable name.
    QVERIFY(QFile::link(base.filePath("dev/ttyUSB0"), base.filePath("dev/serial0")));

    const QStringList devices = {base.filePath("dev/ttyS4"), base.filePath("dev/ttyUSB0"),
                                 base.filePath("dev/ttyACM0"), base.filePath("dev/serial0"),
                                 base.filePath("dev/ttyUSB7"), "/dev/kc-no-such-device"};
    QCOMPARE(SerialLinkDlg::withStableNames(devices, byId),
             QStringList({base.filePath("dev/ttyS4"),
                          byId + "/usb-Kelvaro_RS422_A1-if00-port0",
                          byId + "/usb-Other_B2-if00",
                          byId + "/usb-Kelvaro_RS422_A1-if00-port0",
                          base.filePath("dev/ttyUSB7"), "/dev/kc-no-such-device"}));
    // Without the directory every device keeps its path.
    QCOMPARE(SerialLinkDlg::withStableNames(devices, base.filePath("dev/no-by-id")), devices);
}

void TestSerialLinkDlg::defaults()
{
    QVERIFY(!work->iniExists());
    Shown seen;
    QVERIFY(configure([&](QDialog *dialog) {
        seen = shown(dialog);
        ModalWatcher::click(dialog, "OK");
    }));
    QCOMPARE(seen.texts,
             QStringList({"COM1", "9600", "8 Bits", "1 Bits", "None", "None", "500"}));
    QCOMPARE(seen.indexes, QList<int>({0, 12, 3, 0, 0, 0}));

    QSettings settings(work->iniPath(), QSettings::IniFormat);
    QCOMPARE(settings.childGroups(), QStringList({"serial"}));
    settings.beginGroup("serial");
    QStringList keys = settings.childKeys();
    keys.sort();
    QCOMPARE(keys, QStringList({"boaudrate", "databits", "flowcontrol", "parity", "port",
                                "stopbits", "totaltimeout"}));
    QCOMPARE(settings.value("port").toString(), QStringLiteral("COM1"));
    QCOMPARE(settings.value("boaudrate").toString(), QStringLiteral("12"));
    QCOMPARE(settings.value("databits").toString(), QStringLiteral("3"));
    QCOMPARE(settings.value("stopbits").toString(), QStringLiteral("0"));
    QCOMPARE(settings.value("parity").toString(), QStringLiteral("0"));
    QCOMPARE(settings.value("flowcontrol").toString(), QStringLiteral("0"));
    QCOMPARE(settings.value("totaltimeout").toString(), QStringLiteral("500"));
}

void TestSerialLinkDlg::cancelWritesNothing_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("escape"); // Escape instead of the Cancel button

    // Spacing and a comment QSettings would not write back as they are.
    const QByteArray odd("; by hand\n[serial]\nport = /dev/ttyUSB0\nboaudrate=14\n\n[alarm]\ntone=2\n");
    QTest::newRow("no file, Cancel") << QByteArray() << false;
    QTest::newRow("hand-written file, Cancel") << odd << false;
    QTest::newRow("hand-written file, Escape") << odd << true;
}

void TestSerialLinkDlg::cancelWritesNothing()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, escape);

    if (!ini.isEmpty())
        QVERIFY(work->writeIni(ini));
    QVERIFY(!configure([&](QDialog *dialog) {
        combo(dialog, "COM")->setCurrentIndex(4);
        for (const QString &caption : captions.mid(1, 5))
            combo(dialog, caption)->setCurrentIndex(1);
        timeoutEdit(dialog)->setText("1234");
        if (escape)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            ModalWatcher::click(dialog, "Cancel");
    }));
    if (ini.isEmpty())
        QVERIFY(!work->iniExists());
    else
        QCOMPARE(work->readIni(), ini);
}

void TestSerialLinkDlg::storedSettings_data()
{
    QTest::addColumn<QByteArray>("ini"); // $DIR stands for the test's directory
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<QString>("storedPort");
    QTest::addColumn<QList<int>>("stored"); // five indexes, then the time-out

    QTest::newRow("every value in its list")
        << QByteArray("[serial]\nport=COM3\nboaudrate=17\ndatabits=0\nstopbits=2\nparity=2\n"
                      "flowcontrol=2\ntotaltimeout=40\n")
        << QStringList({"COM3", "57600", "5 Bits", "2 Bits", "Even", "XONXOFF", "40"})
        << QList<int>({2, 17, 0, 2, 2, 2}) << "COM3" << QList<int>({17, 0, 2, 2, 2, 40});
    QTest::newRow("last classic port") << QByteArray("[serial]\nport=COM8\n")
        << QStringList({"COM8", "9600", "8 Bits", "1 Bits", "None", "None", "500"})
        << QList<int>({7, 12, 3, 0, 0, 0}) << "COM8" << QList<int>({12, 3, 0, 0, 0, 500});
    // 18 is 76800 baud to the port, but not in the dialog's list.
    QTest::newRow("indexes outside the lists")
        << QByteArray("[serial]\nboaudrate=18\ndatabits=4\nstopbits=-1\nparity=3\n"
                      "flowcontrol=99\n")
        << QStringList({"COM1", "", "", "", "", "", "500"}) << QList<int>({0, -1, -1, -1, -1, -1})
        << "COM1" << QList<int>({-1, -1, -1, -1, -1, 500});
    // Letters read as 0; a number too large for any list leaves its box empty.
    QTest::newRow("letters and huge numbers in the file")
        << QByteArray("[serial]\nboaudrate=fast\ndatabits=99999999999\ntotaltimeout=abc\n")
        << QStringList({"COM1", "50", "", "1 Bits", "None", "None", "0"})
        << QList<int>({0, 0, -1, 0, 0, 0}) << "COM1" << QList<int>({0, -1, 0, 0, 0, 0});
    QTest::newRow("empty port name") << QByteArray("[serial]\nport=\n")
        << QStringList({"COM1", "9600", "8 Bits", "1 Bits", "None", "None", "500"})
        << QList<int>({0, 12, 3, 0, 0, 0}) << "COM1" << QList<int>({12, 3, 0, 0, 0, 500});
#ifdef Q_OS_WIN
    QTest::newRow("unknown name selects COM1") << QByteArray("[serial]\nport=com2\n")
        << QStringList({"COM1", "9600", "8 Bits", "1 Bits", "None", "None", "500"})
        << QList<int>({0, 12, 3, 0, 0, 0}) << "COM1" << QList<int>({12, 3, 0, 0, 0, 500});
#else
    QTest::newRow("device path kept") << QByteArray("[serial]\nport=$DIR/ttyKC0\ntotaltimeout=40\n")
        << QStringList({"$DIR/ttyKC0", "9600", "8 Bits", "1 Bits", "None", "None", "40"})
        << QList<int>({-3, 12, 3, 0, 0, 0}) << "$DIR/ttyKC0" << QList<int>({12, 3, 0, 0, 0, 40});
    QTest::newRow("pseudo-terminal kept") << QByteArray("[serial]\nport=/dev/pts/7\n")
        << QStringList({"/dev/pts/7", "9600", "8 Bits", "1 Bits", "None", "None", "500"})
        << QList<int>({-3, 12, 3, 0, 0, 0}) << "/dev/pts/7" << QList<int>({12, 3, 0, 0, 0, 500});
    // Names match case-sensitively: this is no classic name, so it is kept.
    QTest::newRow("other case kept") << QByteArray("[serial]\nport=com2\n")
        << QStringList({"com2", "9600", "8 Bits", "1 Bits", "None", "None", "500"})
        << QList<int>({-3, 12, 3, 0, 0, 0}) << "com2" << QList<int>({12, 3, 0, 0, 0, 500});
#endif
}

void TestSerialLinkDlg::storedSettings()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, indexes);
    QFETCH(QString, storedPort);
    QFETCH(QList<int>, stored);

    ini.replace("$DIR", work->path().toUtf8());
    texts.replaceInStrings("$DIR", work->path());
    storedPort.replace("$DIR", work->path());
    QVERIFY(work->writeIni(ini));

    Shown seen;
    int portCount = 0;
    QVERIFY(configure([&](QDialog *dialog) {
        seen = shown(dialog);
        portCount = combo(dialog, "COM")->count();
        ModalWatcher::click(dialog, "OK");
    }));
    QCOMPARE(seen.texts, texts);
    // -3: the stored name, appended as the last entry of the list.
    if (indexes.first() == -3) {
        QCOMPARE(seen.indexes.first(), portCount - 1);
        QVERIFY(portCount > 8);
        indexes.first() = seen.indexes.first();
    }
    QCOMPARE(seen.indexes, indexes);

    QSettings settings(work->iniPath(), QSettings::IniFormat);
    settings.beginGroup("serial");
    QCOMPARE(settings.value("port").toString(), storedPort);
    const QStringList keys = {"boaudrate", "databits", "stopbits", "parity", "flowcontrol",
                              "totaltimeout"};
    QList<int> values;
    for (const QString &key : keys)
        values << settings.value(key).toInt();
    QCOMPARE(values, stored);
}

void TestSerialLinkDlg::typedPort_data()
{
    QTest::addColumn<QString>("typed");

    QTest::newRow("adapter not plugged in") << "/dev/ttyUSB9";
    QTest::newRow("stable name") << "/dev/serial/by-id/usb-Kelvaro_RS422_A1-if00-port0";
    // A beginning of listed names stays as typed, not completed to one of them.
    QTest::newRow("beginning of a listed name") << "COM";
    QTest::newRow("pseudo-terminal") << "/dev/pts/12";
}

void TestSerialLinkDlg::typedPort()
{
#ifdef Q_OS_WIN
    QSKIP("the port list is fixed on Windows");
#endif
    QFETCH(QString, typed);

    QVERIFY(work->writeIni("[serial]\nport=COM2\nboaudrate=14\n"));
    QVERIFY(configure([&](QDialog *dialog) {
        ModalWatcher::retype(combo(dialog, "COM")->lineEdit(), typed);
        ModalWatcher::click(dialog, "OK");
    }));
    QSettings settings(work->iniPath(), QSettings::IniFormat);
    QCOMPARE(settings.value("serial/port").toString(), typed);
    QCOMPARE(settings.value("serial/boaudrate").toInt(), 14);
}

void TestSerialLinkDlg::timeoutText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");

    QTest::newRow("number") << "750" << 750;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("number with unit") << "12ms" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("too large for an int") << "99999999999" << 0;
    QTest::newRow("negative, no range check") << "-40" << -40;
}

void TestSerialLinkDlg::timeoutText()
{
    QFETCH(QString, typed);
    QFETCH(int, stored);

    QVERIFY(work->writeIni("[serial]\ntotaltimeout=300\n"));
    QVERIFY(configure([&](QDialog *dialog) {
        ModalWatcher::retype(timeoutEdit(dialog), typed);
        ModalWatcher::click(dialog, "OK");
    }));
    QSettings settings(work->iniPath(), QSettings::IniFormat);
    QVERIFY(settings.contains("serial/totaltimeout"));
    QCOMPARE(settings.value("serial/totaltimeout").toInt(), stored);
}

QTEST_MAIN(TestSerialLinkDlg)
#include "tst_seriallinkdlg.moc"
