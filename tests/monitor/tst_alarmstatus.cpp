// Alarm tests, status code, colour, text and image under the operator's
// alarm options, written to a real mc422.ini in a temporary working directory.
#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"
#include "tests/support/workdir.h"

#include <QtTest>

namespace {

CMonitor monitor(quint32 state, qint32 alarm)
{
    CMonitor m(5);
    m.state = state;
    m.alarm = alarm;
    return m;
}

// Which of the first `slots` 32-pixel cells of a status image hold the same
// pixels as the named icon.
bool cellShows(const QImage &strip, int cell, const QString &icon)
{
    const QImage expected = QImage(QStringLiteral(":/icons/img/") + icon)
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return strip.copy(cell * 32, 0, 32, 32) == expected;
}

bool cellEmpty(const QImage &strip, int cell)
{
    const QImage part = strip.copy(cell * 32, 0, 32, 32);
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x)
            if (qAlpha(part.pixel(x, y)) != 0)
                return false;
    return true;
}

} // namespace

class TestAlarmStatus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void status_data();
    void status();
    void statusImage_data();
    void statusImage();
    void optionChangeCountsAtOnce();
    void iconsAreThirtyTwoPixels();

private:
    void writeAlarmSettings(const QString &ini);

    WorkDir workDir;
};

void TestAlarmStatus::initTestCase()
{
    QVERIFY(workDir.isValid());
}

void TestAlarmStatus::init()
{
    QFile::remove(QStringLiteral("mc422.ini"));
}

void TestAlarmStatus::writeAlarmSettings(const QString &ini)
{
    QFile file(QStringLiteral("mc422.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(ini.toUtf8());
}

static const char allEnabled[] =
    "[alarm]\nnosignal=true\nmute=true\nblack=true\nblue=true\nire=true\nrgb=true\n";
static const char allDisabled[] =
    "[alarm]\nnosignal=false\nmute=false\nblack=false\nblue=false\nire=false\nrgb=false\n";

void TestAlarmStatus::status_data()
{
    QTest::addColumn<QString>("ini"); // empty: no settings file at all
    QTest::addColumn<quint32>("state");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QString>("tests"); // N M K B I R for the six tests that are true
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    const quint32 on = CMonitor::StatePower;
    QTest::newRow("no signal, all enabled") << allEnabled << on << 0x03 << "N" << 0 << "ALARM<[NO SIGNAL]>";
    QTest::newRow("no signal, defaults") << "" << on << 0x03 << "" << 2 << "NORMAL";
    QTest::newRow("mute, defaults") << "" << on << 0x08 << "M" << 0 << "ALARM<[AUDIO MUTE]>";
    QTest::newRow("black, ire, mute, all enabled")
        << allEnabled << on << 0x0E << "MKI" << 0 << "ALARM<[AUDIO MUTE][BLACK FIELD][IRE ALARM]>";
    QTest::newRow("black, ire, mute, defaults") << "" << on << 0x0E << "MK" << 0
                                                << "ALARM<[AUDIO MUTE][BLACK FIELD]>";
    QTest::newRow("blue and rgb, all enabled") << allEnabled << on << 0x11 << "BR" << 0
                                               << "ALARM<[BLUE FIELD][RGB ALARM]>";
    QTest::newRow("no signal hides black and blue") << allEnabled << on << 0x1B << "NMR" << 0
                                                    << "ALARM<[NO SIGNAL][AUDIO MUTE][RGB ALARM]>";
    QTest::newRow("ire only, defaults") << "" << on << 0x04 << "" << 2 << "NORMAL";
    QTest::newRow("everything disabled") << allDisabled << on << 0x0E << "" << 2 << "NORMAL";
    QTest::newRow("mute disabled alone") << "[alarm]\nmute=false\n" << on << 0x0A << "K" << 0
                                         << "ALARM<[BLACK FIELD]>";
    QTest::newRow("powered off keeps its byte") << allEnabled << 0u << 0x08 << "" << 1 << "POWER OFF";
    QTest::newRow("report flags without power") << allEnabled << 6u << 0x0A << "" << 1 << "POWER OFF";
    QTest::newRow("zombie") << allEnabled << quint32(CMonitor::StateZombie) << 0x08 << "" << 3 << "ZOMBIE";
    QTest::newRow("zombie with power bit") << allEnabled << quint32(CMonitor::StateZombie | on) << 0x08
                                           << "M" << 3 << "ZOMBIE";
    QTest::newRow("normal") << "" << quint32(on | CMonitor::StateAlarmDue) << 0 << "" << 2 << "NORMAL";
    QTest::newRow("settings values as words") << "[alarm]\nire=yes\nrgb=0\n" << on << 0x14 << "I" << 0
                                              << "ALARM<[IRE ALARM]>";
}

void TestAlarmStatus::status()
{
    QFETCH(QString, ini);
    QFETCH(quint32, state);
    QFETCH(int, alarm);
    QFETCH(QString, tests);
    QFETCH(int, code);
    QFETCH(QString, text);

    if (!ini.isEmpty())
        writeAlarmSettings(ini);
    const CMonitor m = monitor(state, alarm);

    QString actual;
    if (isNoSignal(m)) actual += 'N';
    if (isAudioMute(m)) actual += 'M';
    if (isBlackField(m)) actual += 'K';
    if (isBlueField(m)) actual += 'B';
    if (isIreAlarm(m)) actual += 'I';
    if (isRgbAlarm(m)) actual += 'R';
    QCOMPARE(actual, tests);
    QCOMPARE(hasAlarm(m), !tests.isEmpty() && (state & CMonitor::StatePower));
    QCOMPARE(statusCode(m), code);
    QCOMPARE(statusText(m), text);

    const QList<QColor> colours = {QColor(0xFF, 0, 0), QColor(0xA0, 0xA0, 0xA4),
                                   QColor(0, 0xFF, 0), QColor(0xFF, 0xFF, 0)};
    QCOMPARE(statusColor(m), colours.at(code));
}

void TestAlarmStatus::statusImage_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<quint32>("state");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QStringList>("icons");

    const quint32 on = CMonitor::StatePower;
    QTest::newRow("no signal, all enabled") << allEnabled << on << 0x03 << QStringList{"nosignal_alarm.png"};
    QTest::newRow("no signal disabled shows power on") << "" << on << 0x03 << QStringList{"poweron.png"};
    QTest::newRow("three alarms left to right")
        << allEnabled << on << 0x0E
        << QStringList{"mute_alarm.png", "black_alarm.png", "ire_alarm.png"};
    QTest::newRow("blue and rgb") << allEnabled << on << 0x11
                                  << QStringList{"blue_alarm.png", "rgb_alarm.png"};
    QTest::newRow("powered off") << allEnabled << 0u << 0x08 << QStringList{"poweroff.png"};
    QTest::newRow("zombie") << allEnabled << quint32(CMonitor::StateZombie) << 0 << QStringList{"poweroff.png"};
}

void TestAlarmStatus::statusImage()
{
    QFETCH(QString, ini);
    QFETCH(quint32, state);
    QFETCH(int, alarm);
    QFETCH(QStringList, icons);

    if (!ini.isEmpty())
        writeAlarmSettings(ini);
    const QPixmap pixmap = ::statusImage(monitor(state, alarm));
    QCOMPARE(pixmap.size(), QSize(96, 32));
    const QImage strip = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int cell = 0; cell < 3; ++cell) {
        if (cell < icons.size())
            QVERIFY2(cellShows(strip, cell, icons.at(cell)), qPrintable(icons.at(cell)));
        else
            QVERIFY2(cellEmpty(strip, cell), qPrintable(QString::number(cell)));
    }
}

void TestAlarmStatus::optionChangeCountsAtOnce()
{
    const CMonitor muted = monitor(CMonitor::StatePower, 0x08);
    QVERIFY(hasAlarm(muted));
    writeAlarmSettings(QStringLiteral("[alarm]\nmute=false\n"));
    QVERIFY(!hasAlarm(muted));
    QCOMPARE(statusText(muted), QStringLiteral("NORMAL"));
    writeAlarmSettings(QStringLiteral("[alarm]\nmute=true\ntone=2\n"));
    QVERIFY(hasAlarm(muted));
    QCOMPARE(statusCode(muted), int(StatusAlarm));
}

void TestAlarmStatus::iconsAreThirtyTwoPixels()
{
    for (const char *name : {"nosignal_alarm", "mute_alarm", "black_alarm", "blue_alarm",
                             "ire_alarm", "rgb_alarm", "poweron", "poweroff"}) {
        const QImage icon(QStringLiteral(":/icons/img/%1.png").arg(QLatin1String(name)));
        QVERIFY2(!icon.isNull(), name);
        QCOMPARE(icon.size(), QSize(32, 32));
    }
}

QTEST_MAIN(TestAlarmStatus)
#include "tst_alarmstatus.moc"
