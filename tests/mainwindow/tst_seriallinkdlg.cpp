// The serial link dialog on a real mc422.ini in a temporary working
// directory, run the way the main window runs it.
#include "mainwindow/seriallinkdlg.h"
#include "tests/support/modalwatcher.h"
#include "tests/support/workdir.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QStringList captions = {"COM", "Baudrate", "Data bits", "Stop bits", "Parity", "Flow control"};

// The input beside the caption in the "Configure" grid.
QWidget *field(QWidget *dialog, const QString &caption)
{
    auto *grid = qobject_cast<QGridLayout *>(dialog->findChild<QGroupBox *>()->layout());
    for (int row = 0; row < grid->rowCount(); ++row) {
        auto *label = qobject_cast<QLabel *>(grid->itemAtPosition(row, 0)->widget());
        if (label && label->text() == caption)
            return grid->itemAtPosition(row, 2)->widget();
    }
    qFatal("no field %s", qPrintable(caption));
}

QComboBox *combo(QWidget *dialog, const QString &caption)
{
    return qobject_cast<QComboBox *>(field(dialog, caption));
}
QLineEdit *timeout(QWidget *dialog)
{
    return qobject_cast<QLineEdit *>(field(dialog, "Timeout(ms)"));
}

// Each box's current text and index, then the time-out's text.
QString shown(QWidget *dialog)
{
    QStringList texts;
    for (const QString &caption : captions)
        texts << combo(dialog, caption)->currentText() + ':'
                     + QString::number(combo(dialog, caption)->currentIndex());
    return (texts << timeout(dialog)->text()).join('|');
}

} // namespace

class TestSerialLinkDlg : public QObject
{
    Q_OBJECT

    WorkDir work;

    // Runs configure() the way the main window does; act gets the dialog
    // once it shows and presses a button itself.
    bool configure(const std::function<void(QDialog *)> &act)
    {
        ModalWatcher watcher([&](QWidget *shownDialog) {
            auto *dialog = qobject_cast<SerialLinkDlg *>(shownDialog);
            if (dialog)
                act(dialog);
            return dialog != nullptr;
        });
        return SerialLinkDlg::configure(nullptr);
    }
    // The serial group's values, in the order of the captions.
    QString stored() const
    {
        QSettings settings(work.iniPath(), QSettings::IniFormat);
        settings.beginGroup("serial");
        QStringList values;
        for (const char *key : {"port", "boaudrate", "databits", "stopbits", "parity", "flowcontrol", "totaltimeout"})
            values << settings.value(key).toString();
        return values.join('|');
    }

private slots:
    void init() { QFile::remove(work.iniPath()); }

    void stableNames()
    {
        QDir base(work.path());
        QVERIFY(base.mkpath("dev/serial/by-id"));
        for (const char *device : {"ttyUSB0", "ttyACM0", "ttyS4"})
            QVERIFY(QFile(base.filePath(QStringLiteral("dev/") + device)).open(QIODevice::WriteOnly));
        const QString byId = base.filePath("dev/serial/by-id");
        // Relative and absolute links as udev and people make them, a link
        // whose device has gone, and a plain file that is no link at all.
        QVERIFY(QFile::link("../../ttyUSB0", byId + "/usb-Kelvaro_RS422_A1-if00-port0"));
        QVERIFY(QFile::link(base.filePath("dev/ttyACM0"), byId + "/usb-Other_B2-if00"));
        QVERIFY(QFile::link("../../ttyUSB7", byId + "/usb-Gone_C3-if00-port0"));
        QVERIFY(QFile(byId + "/pci-0000-ttyS4").open(QIODevice::WriteOnly));
        // A device reached through a link of its own still finds its stable name.
        QVERIFY(QFile::link(base.filePath("dev/ttyUSB0"), base.filePath("dev/serial0")));

        const QStringList devices = {base.filePath("dev/ttyS4"), base.filePath("dev/ttyUSB0"),
                                     base.filePath("dev/ttyACM0"), base.filePath("dev/serial0"),
                                     base.filePath("dev/ttyUSB7"), "/dev/kc-no-such-device"};
        QCOMPARE(SerialLinkDlg::withStableNames(devices, byId),
                 QStringList({devices.at(0), byId + "/usb-Kelvaro_RS422_A1-if00-port0",
                              byId + "/usb-Other_B2-if00", byId + "/usb-Kelvaro_RS422_A1-if00-port0",
                              devices.at(4), devices.at(5)}));
        // Without the directory every device keeps its path.
        QCOMPARE(SerialLinkDlg::withStableNames(devices, base.filePath("dev/no-by-id")), devices);
    }

    // What the dialog shows for a file and what OK stores back, after Cancel
    // and Escape wrote nothing; "$DIR" stands for the test's directory,
    // "$LAST" for the index of the last port.
    void storedSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored");

        QTest::newRow("no file: defaults") << QByteArray()
            << "COM1:0|9600:12|8 Bits:3|1 Bits:0|None:0|None:0|500" << "COM1|12|3|0|0|0|500";
        QTest::newRow("every value in its list")
            << QByteArray("[serial]\nport=COM3\nboaudrate=17\ndatabits=0\nstopbits=2\nparity=2\n"
                          "flowcontrol=2\ntotaltimeout=40\n")
            << "COM3:2|57600:17|5 Bits:0|2 Bits:2|Even:2|XONXOFF:2|40" << "COM3|17|0|2|2|2|40";
        // 18 is 76800 baud to the port, but not in the dialog's list.
        QTest::newRow("indexes outside the lists")
            << QByteArray("[serial]\nboaudrate=18\ndatabits=4\nstopbits=-1\nparity=3\nflowcontrol=99\n")
            << "COM1:0|:-1|:-1|:-1|:-1|:-1|500" << "COM1|-1|-1|-1|-1|-1|500";
        // Letters read as 0; a number too large for any list leaves its box
        // empty; an empty port name is not offered.
        QTest::newRow("letters, huge numbers, no port name")
            << QByteArray("[serial]\nport=\nboaudrate=fast\ndatabits=99999999999\ntotaltimeout=abc\n")
            << "COM1:0|50:0|:-1|1 Bits:0|None:0|None:0|0" << "COM1|0|-1|0|0|0|0";
#ifndef Q_OS_WIN
        // Names the system does not list are kept, matched case-sensitively.
        QTest::newRow("device path kept") << QByteArray("[serial]\nport=$DIR/ttyKC0\n")
            << "$DIR/ttyKC0:$LAST|9600:12|8 Bits:3|1 Bits:0|None:0|None:0|500"
            << "$DIR/ttyKC0|12|3|0|0|0|500";
        // Spacing and a comment QSettings would not write back as they are.
        QTest::newRow("other case kept, by hand") << QByteArray("; by hand\n[serial]\nport = com2\n\n")
            << "com2:$LAST|9600:12|8 Bits:3|1 Bits:0|None:0|None:0|500" << "com2|12|3|0|0|0|500";
#endif
    }
    void storedSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        QVERIFY(ini.isEmpty() || work.writeIni(ini.replace("$DIR", work.path().toUtf8())));
        for (bool escape : {false, true}) {
            QVERIFY(!configure([&](QDialog *dialog) {
                for (const QString &caption : captions)
                    combo(dialog, caption)->setCurrentIndex(2);
                timeout(dialog)->setText("1234");
                escape ? QTest::keyClick(dialog, Qt::Key_Escape) : void(ModalWatcher::click(dialog, "Cancel"));
            }));
            QCOMPARE(work.iniExists(), !ini.isEmpty());
            QCOMPARE(work.readIni(), ini);
        }
        QString seen;
        int ports = 0;
        QVERIFY(configure([&](QDialog *dialog) {
            seen = ::shown(dialog);
            ports = combo(dialog, "COM")->count();
            ModalWatcher::click(dialog, "OK");
        }));
        QVERIFY(ports >= 8);
        QCOMPARE(seen, shown.replace("$DIR", work.path()).replace("$LAST", QString::number(ports - 1)));
        // The layout of the file itself is the transport's test.
        QCOMPARE(this->stored(), stored.replace("$DIR", work.path()));
    }

    // Typed into the fields: a port the system does not list (a beginning
    // of listed names stays as typed, not completed to one); the time-out
    // as a number, 0 unless it is one. The baud rate stays as it was.
    void typed()
    {
        for (const auto &[port, timeout, stored] : {std::tuple("/dev/ttyUSB9", "750", "/dev/ttyUSB9|14|750"),
                                                    std::tuple("COM", "12ms", "COM|14|0"),
                                                    std::tuple("/dev/pts/12", "-40", "/dev/pts/12|14|-40")}) {
            QVERIFY(work.writeIni("[serial]\nport=COM2\nboaudrate=14\ntotaltimeout=300\n"));
            // Structured bindings cannot be captured before C++20.
            QVERIFY(configure([&, port = port, timeout = timeout](QDialog *dialog) {
                ModalWatcher::retype(combo(dialog, "COM")->lineEdit(), port);
                ModalWatcher::retype(::timeout(dialog), timeout);
                ModalWatcher::click(dialog, "OK");
            }));
            const QStringList values = this->stored().split('|');
            QCOMPARE(QStringList({values.at(0), values.at(1), values.at(6)}).join('|'), stored);
        }
    }
};

QTEST_MAIN(TestSerialLinkDlg)
#include "tst_seriallinkdlg.moc"
