// The monitor record as the operator sees it: alarm tests, status code,
// colour, text and image under the alarm options (written to a real mc422.ini
// in a temporary working directory), code names and version texts.
#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"
#include "tests/support/workdir.h"

#include <QtTest>

namespace {

const char allEnabled[] = "[alarm]\nnosignal=true\nmute=true\nblack=true\nblue=true\nire=true\nrgb=true\n";
const char allDisabled[] =
    "[alarm]\nnosignal=false\nmute=false\nblack=false\nblue=false\nire=false\nrgb=false\n";
const quint32 on = CMonitor::StatePower;
const quint32 zombie = CMonitor::StateZombie;

} // namespace

class TestAlarmStatus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(workDir.isValid()); }

    void status_data()
    {
        QTest::addColumn<QByteArray>("ini"); // empty: no settings file at all
        QTest::addColumn<quint32>("state");
        QTest::addColumn<int>("alarm");
        QTest::addColumn<QString>("tests"); // N M K B I R for the six tests that are true
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("icons"); // the image's 32-pixel cells, left to right

        auto row = [](const char *name, const char *ini, quint32 state, int alarm, const char *tests, int code,
                      const char *text, const QStringList &icons) {
            QTest::newRow(name) << QByteArray(ini) << state << alarm << tests << code << text << icons;
        };
        row("no signal, all enabled", allEnabled, on, 0x03, "N", 0, "ALARM<[NO SIGNAL]>", {"nosignal_alarm"});
        row("no signal, defaults", "", on, 0x03, "", 2, "NORMAL", {"poweron"});
        row("mute, defaults", "", on, 0x08, "M", 0, "ALARM<[AUDIO MUTE]>", {"mute_alarm"});
        row("black, ire, mute, all enabled", allEnabled, on, 0x0E, "MKI", 0,
            "ALARM<[AUDIO MUTE][BLACK FIELD][IRE ALARM]>", {"mute_alarm", "black_alarm", "ire_alarm"});
        row("black, ire, mute, defaults", "", on, 0x0E, "MK", 0, "ALARM<[AUDIO MUTE][BLACK FIELD]>",
            {"mute_alarm", "black_alarm"});
        row("blue and rgb, all enabled", allEnabled, on, 0x11, "BR", 0, "ALARM<[BLUE FIELD][RGB ALARM]>",
            {"blue_alarm", "rgb_alarm"});
        row("no signal hides black and blue", allEnabled, on, 0x1B, "NMR", 0,
            "ALARM<[NO SIGNAL][AUDIO MUTE][RGB ALARM]>", {"nosignal_alarm", "mute_alarm", "rgb_alarm"});
        row("everything disabled", allDisabled, on, 0x0E, "", 2, "NORMAL", {"poweron"});
        row("mute disabled alone", "[alarm]\nmute=false\n", on, 0x0A, "K", 0, "ALARM<[BLACK FIELD]>", {"black_alarm"});
        row("powered off keeps its byte", allEnabled, 0, 0x08, "", 1, "POWER OFF", {"poweroff"});
        row("report flags without power", allEnabled, 6, 0x0A, "", 1, "POWER OFF", {"poweroff"});
        row("zombie", allEnabled, zombie, 0x08, "", 3, "ZOMBIE", {"poweroff"});
        row("zombie with power bit", allEnabled, zombie | on, 0x08, "M", 3, "ZOMBIE", {"mute_alarm"});
    }

    void status()
    {
        QFETCH(QByteArray, ini);
        QFETCH(quint32, state);
        QFETCH(int, alarm);
        QFETCH(QString, tests);
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(QStringList, icons);

        // Each row writes its own file: the options are read at every test.
        QFile::remove(workDir.iniPath());
        QVERIFY(ini.isEmpty() || workDir.writeIni(ini));
        CMonitor m(5);
        m.state = state;
        m.alarm = alarm;

        QString actual;
        const QList<QPair<bool (*)(const CMonitor &), QChar>> alarmTests = {
            {isNoSignal, 'N'}, {isAudioMute, 'M'}, {isBlackField, 'K'},
            {isBlueField, 'B'}, {isIreAlarm, 'I'}, {isRgbAlarm, 'R'}};
        for (const auto &[test, letter] : alarmTests)
            if (test(m))
                actual += letter;
        QCOMPARE(actual, tests);
        QCOMPARE(hasAlarm(m), !tests.isEmpty() && (state & on));
        QCOMPARE(statusCode(m), code);
        QCOMPARE(statusText(m), text);
        QCOMPARE(statusColor(m).name(), QStringList({"#ff0000", "#a0a0a4", "#00ff00", "#ffff00"}).at(code));

        const QPixmap pixmap = statusImage(m);
        const auto format = QImage::Format_ARGB32_Premultiplied;
        const QImage strip = pixmap.toImage().convertToFormat(format);
        QImage empty(32, 32, format);
        empty.fill(Qt::transparent);
        for (int cell = 0; cell < 3; ++cell) {
            const QImage expected = cell < icons.size()
                ? QImage(QStringLiteral(":/icons/img/%1.png").arg(icons.at(cell))).convertToFormat(format)
                : empty;
            QVERIFY2(strip.copy(cell * 32, 0, 32, 32) == expected, qPrintable(icons.value(cell, "empty")));
        }
        // Asked again, the same pixmap: views cache what they drew by pixmap,
        // and a new one per paint filled that cache on a long run.
        QCOMPARE(statusImage(m).cacheKey(), pixmap.cacheKey());
    }

    void codeNames()
    {
        // Outside the tables a null string, not an empty name; 6 and 50 as spelt.
        QStringList names;
        for (int code : {-1, 0, 6, 10, 11, 255})
            names << (inputName(code).isNull() ? QStringLiteral("null") : inputName(code));
        for (int code : {-1, 0, 6, 50, 56, 57})
            names << (modeName(code).isNull() ? QStringLiteral("null") : modeName(code));
        QCOMPARE(names, QStringList({"null", "CVBS", "SDI 1", "None", "null", "null", "null", "No Signal",
                                     "1208x720/59.94P", "800x600 56Hzh", "1440x1080/24P", "null"}));
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

private:
    WorkDir workDir;
};

QTEST_MAIN(TestAlarmStatus)
#include "tst_alarmstatus.moc"
