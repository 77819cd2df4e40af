// The group "serial" of the settings file: defaults, what odd stored values
// read as, the translation of stored indexes to QSerialPort values, and that
// no stored value, however odd, can crash or hang a bus start.
#include "commandrecorder.h"
#include "rscmd.h"
#include "rsthread.h"
#include "serialsettings.h"
#include "settingsfile.h"
#include "simbusfixture.h"

#include <QtTest>

class TestSerialSettings : public QObject
{
    Q_OBJECT

private slots:
    void defaultsWithoutFile();
    void storedValues();
    void nonNumericIntegersReadAsZero();
    void writeThenRead();
    void baudRates_data();
    void baudRates();
    void lineSettings_data();
    void lineSettings();
    void oddValuesNeverCrashABusStart_data();
    void oddValuesNeverCrashABusStart();
};

void TestSerialSettings::defaultsWithoutFile()
{
    SimBusFixture fx;
    QVERIFY(fx.isValid());
    const SerialSettings s = SerialSettings::read();
    QCOMPARE(s.port, QStringLiteral("COM1"));
    QCOMPARE(s.baudRateIndex, 12);
    QCOMPARE(s.dataBitsIndex, 3);
    QCOMPARE(s.stopBitsIndex, 0);
    QCOMPARE(s.parityIndex, 0);
    QCOMPARE(s.flowControlIndex, 0);
    QCOMPARE(s.totalTimeout, 500);
    QCOMPARE(s.baudRate(), 9600);

    // A file without the group, or with other groups only, changes nothing.
    QSettings other(QLatin1String(SettingsFileName), QSettings::IniFormat);
    other.setValue(QStringLiteral("alarm/mute"), false);
    other.sync();
    const SerialSettings again = SerialSettings::read();
    QCOMPARE(again.port, QStringLiteral("COM1"));
    QCOMPARE(again.totalTimeout, 500);
}

void TestSerialSettings::storedValues()
{
    SimBusFixture fx;
    QVERIFY(fx.isValid());
    QFile file{QLatin1String(SettingsFileName)};
    QVERIFY(file.open(QIODevice::WriteOnly));
    // The keys exactly as the link dialog and operators' files spell them.
    file.write("[serial]\nport=/dev/ttyUSB3\nboaudrate=19\ndatabits=2\nstopbits=2\n"
               "parity=1\nflowcontrol=1\ntotaltimeout=250\n");
    file.close();

    const SerialSettings s = SerialSettings::read();
    QCOMPARE(s.port, QStringLiteral("/dev/ttyUSB3"));
    QCOMPARE(s.baudRate(), 115200);
    QCOMPARE(s.dataBits(), QSerialPort::Data7);
    QCOMPARE(s.stopBits(), QSerialPort::TwoStop);
    QCOMPARE(s.parity(), QSerialPort::OddParity);
    QCOMPARE(s.flowControl(), QSerialPort::HardwareControl);
    QCOMPARE(s.totalTimeout, 250);
}

void TestSerialSettings::nonNumericIntegersReadAsZero()
{
    SimBusFixture fx;
    QVERIFY(fx.isValid());
    QFile file{QLatin1String(SettingsFileName)};
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[serial]\nboaudrate=fast\ndatabits=\nstopbits=x1\nparity=even\n"
               "flowcontrol=yes\ntotaltimeout=500ms\n");
    file.close();

    const SerialSettings s = SerialSettings::read();
    QCOMPARE(s.port, QStringLiteral("COM1")); // missing key: its default
    QCOMPARE(s.baudRateIndex, 0);
    QCOMPARE(s.dataBitsIndex, 0);
    QCOMPARE(s.stopBitsIndex, 0);
    QCOMPARE(s.parityIndex, 0);
    QCOMPARE(s.flowControlIndex, 0);
    QCOMPARE(s.totalTimeout, 0);
    QCOMPARE(s.baudRate(), 50);
    QCOMPARE(s.dataBits(), QSerialPort::Data5);
}

void TestSerialSettings::writeThenRead()
{
    SimBusFixture fx;
    QVERIFY(fx.isValid());
    SerialSettings s;
    s.port = QStringLiteral("/dev/ttyS1");
    s.baudRateIndex = 17;
    s.dataBitsIndex = 1;
    s.stopBitsIndex = 1;
    s.parityIndex = 4;
    s.flowControlIndex = 2;
    s.totalTimeout = 75;
    s.write();

    QSettings raw(QLatin1String(SettingsFileName), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("serial/boaudrate")).toInt(), 17);
    QCOMPARE(raw.value(QStringLiteral("serial/port")).toString(), QStringLiteral("/dev/ttyS1"));

    const SerialSettings back = SerialSettings::read();
    QCOMPARE(back.port, s.port);
    QCOMPARE(back.baudRateIndex, 17);
    QCOMPARE(back.dataBitsIndex, 1);
    QCOMPARE(back.stopBitsIndex, 1);
    QCOMPARE(back.parityIndex, 4);
    QCOMPARE(back.flowControlIndex, 2);
    QCOMPARE(back.totalTimeout, 75);
    QCOMPARE(back.baudRate(), 57600);
    QCOMPARE(back.dataBits(), QSerialPort::Data6);
    QCOMPARE(back.stopBits(), QSerialPort::OneAndHalfStop);
    QCOMPARE(back.parity(), QSerialPort::SpaceParity);
    QCOMPARE(back.flowControl(), QSerialPort::SoftwareControl);
}

void TestSerialSettings::baudRates_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("baud");
    const int rates[] = {50,   75,    110,   134,   150,   200,   300,   600,    1200,   1800,   2400,
                         4800, 9600,  14400, 19200, 38400, 56000, 57600, 76800,  115200, 128000, 256000};
    for (int i = 0; i < 22; ++i)
        QTest::addRow("index %d", i) << i << rates[i];
    // Outside the table the stored number itself goes to the port.
    QTest::newRow("index 22") << 22 << 22;
    QTest::newRow("index -1") << -1 << -1;
    QTest::newRow("index 9600") << 9600 << 9600;
}

void TestSerialSettings::baudRates()
{
    QFETCH(int, index);
    QFETCH(int, baud);
    QCOMPARE(SerialSettings::baudRateForIndex(index), baud);
}

void TestSerialSettings::lineSettings_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expected"); // the QSerialPort value, as a number

    auto row = [](const char *setting, int index, int expected) {
        QTest::addRow("%s %d", setting, index) << QString::fromLatin1(setting) << index << expected;
    };
    row("databits", 0, QSerialPort::Data5);
    row("databits", 1, QSerialPort::Data6);
    row("databits", 2, QSerialPort::Data7);
    row("databits", 3, QSerialPort::Data8);
    row("databits", 4, 4);       // unknown to QSerialPort: 8 bits here
    row("databits", -1, 0);      // cannot be held: an unknown value instead
    row("databits", 1000, 0);
    row("stopbits", 0, QSerialPort::OneStop);
    row("stopbits", 1, QSerialPort::OneAndHalfStop);
    row("stopbits", 2, QSerialPort::TwoStop);
    row("stopbits", 3, QSerialPort::OneAndHalfStop); // the stored number is an enumerator
    row("stopbits", 9, 0);
    row("parity", 0, QSerialPort::NoParity);
    row("parity", 1, QSerialPort::OddParity);
    row("parity", 2, QSerialPort::EvenParity);
    row("parity", 3, QSerialPort::MarkParity);
    row("parity", 4, QSerialPort::SpaceParity);
    row("parity", 6, 6);
    row("parity", -7, 1);
    row("flowcontrol", 0, QSerialPort::NoFlowControl);
    row("flowcontrol", 1, QSerialPort::HardwareControl);
    row("flowcontrol", 2, QSerialPort::SoftwareControl);
    row("flowcontrol", 3, 3);
    row("flowcontrol", 77, 3);
}

void TestSerialSettings::lineSettings()
{
    QFETCH(QString, setting);
    QFETCH(int, index);
    QFETCH(int, expected);
    int actual = -100;
    if (setting == QLatin1String("databits"))
        actual = int(SerialSettings::dataBitsForIndex(index));
    else if (setting == QLatin1String("stopbits"))
        actual = int(SerialSettings::stopBitsForIndex(index));
    else if (setting == QLatin1String("parity"))
        actual = int(SerialSettings::parityForIndex(index));
    else if (setting == QLatin1String("flowcontrol"))
        actual = int(SerialSettings::flowControlForIndex(index));
    QCOMPARE(actual, expected);
}

void TestSerialSettings::oddValuesNeverCrashABusStart_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("baud index beyond the table") << "boaudrate" << QVariant(99);
    QTest::newRow("negative baud index") << "boaudrate" << QVariant(-3);
    QTest::newRow("baud index not a number") << "boaudrate" << QVariant(QStringLiteral("fast"));
    QTest::newRow("rate off the standard list") << "boaudrate" << QVariant(13);
    QTest::newRow("data bits beyond the table") << "databits" << QVariant(9);
    QTest::newRow("negative data bits") << "databits" << QVariant(-2);
    QTest::newRow("stop bits beyond the table") << "stopbits" << QVariant(7);
    QTest::newRow("parity beyond the table") << "parity" << QVariant(9);
    QTest::newRow("flow control beyond the table") << "flowcontrol" << QVariant(5);
    QTest::newRow("negative time-out") << "totaltimeout" << QVariant(-50);
    QTest::newRow("time-out not a number") << "totaltimeout" << QVariant(QStringLiteral("soon"));
}

void TestSerialSettings::oddValuesNeverCrashABusStart()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    SimBusFixture fx;
    QVERIFY(fx.isValid());
    QVERIFY(fx.bus().addMonitor(5));
    fx.writeSettings(40);
    SimBusFixture::writeSetting(key.toLatin1().constData(), value);

    RSThread thread;
    CommandRecorder rec(&thread);
    QStringList failures;
    thread.setOpenFailureHandler([&failures](const QString &name) { failures << name; });
    const bool started = thread.startBus();
    // Either the port refuses the value and the start says so, or the bus
    // runs and every exchange ends with a status.
    QCOMPARE(started, failures.isEmpty());
    if (started) {
        thread.cancelSearch();
        thread.enqueue(new RSCmd(5));
        thread.enqueue(new RSCmd(6));
        QTRY_VERIFY_WITH_TIMEOUT(rec.commandCount() == 2, 5000);
        for (const CommandRecorder::Event &e : rec.commands())
            QVERIFY(e.status >= RSCmd::StatusOk && e.status <= RSCmd::StatusReadError);
    }
    thread.stopBus();
    QCoreApplication::sendPostedEvents();
    QVERIFY(!thread.isRunning());
}

QTEST_GUILESS_MAIN(TestSerialSettings)
#include "tst_transport_settings.moc"
