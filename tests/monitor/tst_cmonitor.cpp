// The monitor record's code names and the version-text rule.
#include "monitor/cmonitor.h"

#include <QtTest>

class TestCMonitor : public QObject
{
    Q_OBJECT

private slots:
    void codeNames()
    {
        // Codes outside the tables give a null string, not an empty name.
        QStringList inputs;
        for (int code : {-1, 0, 6, 10, 11, 255})
            inputs << (inputName(code).isNull() ? QStringLiteral("null") : inputName(code));
        QCOMPARE(inputs, QStringList({"null", "CVBS", "SDI 1", "None", "null", "null"}));
        QStringList modes;
        for (int code : {-1, 0, 6, 50, 56, 57})
            modes << (modeName(code).isNull() ? QStringLiteral("null") : modeName(code));
        // 6 and 50 as the monitors' firmware spells them.
        QCOMPARE(modes, QStringList({"null", "No Signal", "1208x720/59.94P", "800x600 56Hzh",
                                     "1440x1080/24P", "null"}));
    }

    void versionText()
    {
        // High nibble, low nibble, second byte signed with at least two digits.
        QStringList texts;
        for (const auto &[b0, b1] : QList<QPair<int, int>>{
                 {0x12, 0x05}, {0x00, 0x00}, {0xFF, 0x80}, {0x21, 0x0A}, {0x01, 0xFF}, {0x01, 0x7F}})
            texts << CMonitor::versionText(quint8(b0), quint8(b1));
        QCOMPARE(texts, QStringList({"1.2.05", "0.0.00", "15.15.-128", "2.1.10", "0.1.-1", "0.1.127"}));
    }
};

QTEST_APPLESS_MAIN(TestCMonitor)
#include "tst_cmonitor.moc"
