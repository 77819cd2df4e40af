// The monitor record, its code tables and the version-text rule.
#include "monitor/cmonitor.h"

#include <QtTest>

class TestCMonitor : public QObject
{
    Q_OBJECT

private slots:
    void freshRecord();
    void codeTables_data();
    void codeTables();
    void versionText_data();
    void versionText();
};

void TestCMonitor::freshRecord()
{
    const CMonitor m(42);
    QCOMPARE(int(m.address), 42);
    QVERIFY(m.serialNumber.isEmpty());
    QVERIFY(m.version.isEmpty());
    QVERIFY(m.timeCode.isEmpty());
    QVERIFY(m.boardVersions.isEmpty());
    QCOMPARE(m.pendingQueries, 0u);
    QCOMPARE(m.state, 0u);
    QCOMPARE(m.alarm, 0);
    QCOMPARE(m.functions, 0u);
    for (qint32 level : m.rotaryValues)
        QCOMPARE(level, 0);
    QCOMPARE(inputName(m.input), QStringLiteral("CVBS"));
    QCOMPARE(modeName(m.mode), QStringLiteral("No Signal"));
}

void TestCMonitor::codeTables_data()
{
    QTest::addColumn<bool>("isInput");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");

    QTest::newRow("input 0") << true << 0 << "CVBS";
    QTest::newRow("input 4") << true << 4 << "S Video";
    QTest::newRow("input 6") << true << 6 << "SDI 1";
    QTest::newRow("input 10, last") << true << 10 << "None";
    QTest::newRow("input 11, none") << true << 11 << QString();
    QTest::newRow("input 255") << true << 255 << QString();
    QTest::newRow("input -1") << true << -1 << QString();
    QTest::newRow("mode 0") << false << 0 << "No Signal";
    QTest::newRow("mode 6, as the monitor spells it") << false << 6 << "1208x720/59.94P";
    QTest::newRow("mode 26") << false << 26 << "1280x720/29.94P";
    QTest::newRow("mode 50") << false << 50 << "800x600 56Hzh";
    QTest::newRow("mode 56, last") << false << 56 << "1440x1080/24P";
    QTest::newRow("mode 57, none") << false << 57 << QString();
}

void TestCMonitor::codeTables()
{
    QFETCH(bool, isInput);
    QFETCH(int, code);
    QFETCH(QString, name);

    QCOMPARE(inputNames.size(), 11);
    QCOMPARE(modeNames.size(), 57);
    const QString actual = isInput ? inputName(code) : modeName(code);
    QCOMPARE(actual, name);
    QCOMPARE(actual.isNull(), name.isNull());
}

void TestCMonitor::versionText_data()
{
    QTest::addColumn<int>("b0");
    QTest::addColumn<int>("b1");
    QTest::addColumn<QString>("text");

    QTest::newRow("1.2.05") << 0x12 << 0x05 << "1.2.05";
    QTest::newRow("3.0.17") << 0x30 << 0x11 << "3.0.17";
    QTest::newRow("zeros") << 0x00 << 0x00 << "0.0.00";
    QTest::newRow("extremes") << 0xFF << 0x80 << "15.15.-128";
    QTest::newRow("two digits") << 0x21 << 0x0A << "2.1.10";
    QTest::newRow("99") << 0xF0 << 0x63 << "15.0.99";
    QTest::newRow("negative") << 0x40 << 0x85 << "4.0.-123";
    QTest::newRow("minus one keeps its width") << 0x01 << 0xFF << "0.1.-1";
    QTest::newRow("127") << 0x01 << 0x7F << "0.1.127";
}

void TestCMonitor::versionText()
{
    QFETCH(int, b0);
    QFETCH(int, b1);
    QFETCH(QString, text);
    QCOMPARE(CMonitor::versionText(quint8(b0), quint8(b1)), text);
}

QTEST_APPLESS_MAIN(TestCMonitor)
#include "tst_cmonitor.moc"
