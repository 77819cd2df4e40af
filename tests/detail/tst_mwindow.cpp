// The detail window without a bus: what each tab shows for a record, when
// the tabs are usable, and which updates it follows.
#include "alarmstatus.h"
#include "cmonitor.h"
#include "mwindow.h"
#include "robox.h"
#include "widgetlookup.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QStringList functionTexts = {
    "Zoom", "Blue", "Overscan", "Sub Window", "Pixel Mapping", "Invert Screen", "Mono",
    "Cross Hatch", "HV Delay", "Measure(8Bit)", "Measure(10Bit)", "Lum Coloring", "Focus",
    "SD Aspect", "Full Screen", "Black Detail", "Pixel Zoom", "Split Screen", "Still Frame",
    "DSLR Zoom", "Scopes/VU-Meters 1", "Scopes/VU-Meters 2", "Scopes/VU-Meters 3", "Marker 1",
    "Marker 2", "Marker 3", "Safety Broadcast", "AFD", "DESQUEEZE", "CX Scale",
};

// No signal, blue field, black field, audio mute, IRE, RGB.
const QStringList alarmTexts = {"No Signal", "Blue Field", "Black Field",
                                "Audio Mute", "IRE alarm", "RGB alarm"};

CMonitor sampleMonitor(quint8 address)
{
    CMonitor m(address);
    m.state = CMonitor::StatePower;
    m.serialNumber = QStringLiteral("KV%1").arg(address, 4, 10, QLatin1Char('0'));
    m.version = QStringLiteral("V2.13");
    m.timeCode = QStringLiteral("01:02:03:04");
    m.input = 6;
    m.mode = 9;
    m.rotaryValues = {5, -1, 100, 0, -3};
    m.boardVersions = QByteArray::fromHex("01021000200130094063");
    return m;
}

} // namespace

class TestMWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void initialState();
    void statusTabLayout();
    void showsRecord();
    void unknownCodesKeepText_data();
    void unknownCodesKeepText();
    void alarmIndicators_data();
    void alarmIndicators();
    void alarmOptionsFollowOnReshow();
    void functionIndicators_data();
    void functionIndicators();
    void updatesByAddress();
    void removalKeepsValues();
    void zombieDisablesWithoutChange();
    void nullMonitorEmpties();
    void miscVersions_data();
    void miscVersions();
    void controlTabLayout();
    void umdCheckEnablesText();

private:
    void writeIni(const QString &text);
    template<typename T> T *child(const QString &name) const
    {
        T *widget = window->findChild<T *>(name);
        if (!widget)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }
    QString text(const QString &name) const { return child<QLabel>(name)->text(); }
    void expectPagesEnabled(bool enabled) const;
    QList<bool> alarmStates() const;

    QTemporaryDir dir;
    QString previousDir;
    std::unique_ptr<MWindow> window;
};

void TestMWindow::initTestCase()
{
    QVERIFY(dir.isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
}

void TestMWindow::init()
{
    QFile::remove(dir.filePath(QStringLiteral("mc422.ini")));
    window = std::make_unique<MWindow>(QStringLiteral("Monitor window"));
}

void TestMWindow::cleanup()
{
    window.reset();
}

void TestMWindow::writeIni(const QString &text)
{
    QFile ini(dir.filePath(QStringLiteral("mc422.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(text.toUtf8());
}

void TestMWindow::expectPagesEnabled(bool enabled) const
{
    for (const char *name : {"statusPage", "controlPage", "miscPage"})
        QVERIFY2(child<QWidget>(QLatin1String(name))->isEnabled() == enabled, name);
}

QList<bool> TestMWindow::alarmStates() const
{
    QList<bool> states;
    for (int i = 0; i < MWindow::AlarmCount; ++i)
        states << child<ROBox>(QStringLiteral("alarmBox%1").arg(i))->isChecked();
    return states;
}

void TestMWindow::initialState()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Monitor window"));
    auto *tabs = child<QTabWidget>(QStringLiteral("tabs"));
    QCOMPARE(window->widget(), tabs);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Status"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Control"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Misc"));
    // Each page sits in a scroll area of its own.
    QCOMPARE(child<QWidget>(QStringLiteral("statusPage"))->parentWidget()->parentWidget(), tabs->widget(0));
    QCOMPARE(child<QWidget>(QStringLiteral("miscPage"))->parentWidget()->parentWidget(), tabs->widget(2));
    expectPagesEnabled(false);

    QVERIFY(window->myMonitor());
    QCOMPARE(window->myMonitor()->address, quint8(0));
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("None"));
    QCOMPARE(text("versionLabel"), QStringLiteral("None"));
    QCOMPARE(text("inputLabel"), QStringLiteral("None"));
    QCOMPARE(text("modeLabel"), QStringLiteral("No Signal"));
    QCOMPARE(text("timeCodeLabel"), QString());
    const QStringList rotary = {"Hue(0)", "Chroma(0)", "Bright(0)", "Contrast(0)", "Volume(0)"};
    for (int i = 0; i < rotary.size(); ++i)
        QCOMPARE(text(QStringLiteral("rotaryLabel%1").arg(i)), rotary.at(i));
    const QList<ROBox *> boxes = window->findChildren<ROBox *>();
    QCOMPARE(boxes.size(), MWindow::AlarmCount + MWindow::FunctionCount);
    for (ROBox *box : boxes)
        QVERIFY2(!box->isChecked(), qPrintable(box->text()));
    QVERIFY(!child<QPushButton>(QStringLiteral("powerButton"))->isChecked());
    QCOMPARE(child<QGroupBox>(QStringLiteral("powerGroup"))->title(), QString());
    QCOMPARE(text("addressLabel"), QString());
}

void TestMWindow::statusTabLayout()
{
    for (int i = 0; i < MWindow::AlarmCount; ++i) {
        ROBox *box = child<ROBox>(QStringLiteral("alarmBox%1").arg(i));
        QCOMPARE(box->text(), alarmTexts.at(i));
        QVERIFY2(!box->icon().isNull(), qPrintable(box->text()));
        QCOMPARE(gridCell(box), i < 4 ? QPoint(0, i) : QPoint(1, i - 4));
    }
    QCOMPARE(gridCell(child<QLabel>(QStringLiteral("timeCodeLabel"))), QPoint(1, 3));
    for (int i = 0; i < MWindow::FunctionCount; ++i) {
        ROBox *box = child<ROBox>(QStringLiteral("functionBox%1").arg(i));
        QCOMPARE(box->text(), functionTexts.at(i));
        QCOMPARE(gridCell(box), QPoint(i / 3, i % 3));
        auto *group = qobject_cast<QGroupBox *>(box->parentWidget());
        QVERIFY(group);
        QCOMPARE(group->title(), QStringLiteral("Function status"));
    }
    for (const char *name : {"serialNumberLabel", "versionLabel", "inputLabel", "modeLabel",
                             "timeCodeLabel", "statusImageLabel", "rotaryLabel4"})
        QCOMPARE(child<QLabel>(QLatin1String(name))->frameShape(), QFrame::Box);
}

void TestMWindow::showsRecord()
{
    CMonitor m = sampleMonitor(7);
    window->setMonitor(&m);
    expectPagesEnabled(true);
    QCOMPARE(window->myMonitor()->address, quint8(7));
    QVERIFY(window->myMonitor() != &m);
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("KV0007"));
    QCOMPARE(text("versionLabel"), QStringLiteral("V2.13"));
    QCOMPARE(text("inputLabel"), inputNames.at(6));
    QCOMPARE(text("modeLabel"), modeNames.at(9));
    QCOMPARE(text("timeCodeLabel"), QStringLiteral("01:02:03:04"));
    const QStringList rotary = {"Hue(5)", "Chroma(-1)", "Bright(100)", "Contrast(0)",
                                "Volume(-3)"};
    for (int i = 0; i < rotary.size(); ++i)
        QCOMPARE(text(QStringLiteral("rotaryLabel%1").arg(i)), rotary.at(i));
    const QPixmap shown = child<QLabel>(QStringLiteral("statusImageLabel"))->pixmap();
    QVERIFY(!shown.isNull());
    QCOMPARE(shown.toImage(), statusImage(m).toImage());
    QCOMPARE(child<QGroupBox>(QStringLiteral("powerGroup"))->title(), QStringLiteral("KV0007"));
    QVERIFY(child<QPushButton>(QStringLiteral("powerButton"))->isChecked());
    QCOMPARE(text("addressLabel"), QStringLiteral("7"));

    // The window holds a copy: changing the source record changes nothing.
    m.serialNumber = QStringLiteral("changed");
    QCOMPARE(window->myMonitor()->serialNumber, QStringLiteral("KV0007"));

    // A powered-off monitor is still shown, so that it can be switched on.
    CMonitor off = sampleMonitor(120);
    off.state = 0;
    window->setMonitor(&off);
    expectPagesEnabled(true);
    QVERIFY(!child<QPushButton>(QStringLiteral("powerButton"))->isChecked());
    QCOMPARE(text("addressLabel"), QStringLiteral("120"));
}

void TestMWindow::unknownCodesKeepText_data()
{
    QTest::addColumn<bool>("showKnownFirst");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("inputText");
    QTest::addColumn<QString>("modeText");

    QTest::newRow("input 11 after known") << true << 11 << 56 << "YPbPr" << modeNames.at(56);
    QTest::newRow("mode 57 after known") << true << 10 << 57 << inputNames.at(10) << modeNames.at(3);
    QTest::newRow("both 255 after known") << true << 255 << 255 << "YPbPr" << modeNames.at(3);
    QTest::newRow("both unknown at first") << false << 11 << 57 << "None" << "No Signal";
    QTest::newRow("lowest codes") << true << 0 << 0 << inputNames.at(0) << modeNames.at(0);
}

void TestMWindow::unknownCodesKeepText()
{
    QFETCH(bool, showKnownFirst);
    QFETCH(int, input);
    QFETCH(int, mode);
    QFETCH(QString, inputText);
    QFETCH(QString, modeText);

    if (showKnownFirst) {
        CMonitor known = sampleMonitor(4);
        known.input = 5;
        known.mode = 3;
        window->setMonitor(&known);
        QCOMPARE(text("inputLabel"), QStringLiteral("YPbPr"));
    }
    CMonitor m = sampleMonitor(5);
    m.input = quint8(input);
    m.mode = quint8(mode);
    window->setMonitor(&m);
    QCOMPARE(text("inputLabel"), inputText);
    QCOMPARE(text("modeLabel"), modeText);
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("KV0005"));
}

void TestMWindow::alarmIndicators_data()
{
    QTest::addColumn<QString>("alarmGroup");
    QTest::addColumn<bool>("powered");
    QTest::addColumn<int>("alarm");
    // No signal, blue, black, mute, IRE, RGB.
    QTest::addColumn<QList<bool>>("expected");

    const QString allOn = QStringLiteral("[alarm]\nnosignal=true\nmute=true\nblack=true\n"
                                         "blue=true\nire=true\nrgb=true\n");
    const QString allOff = QStringLiteral("[alarm]\nnosignal=false\nmute=false\nblack=false\n"
                                          "blue=false\nire=false\nrgb=false\n");
    using L = QList<bool>;
    QTest::newRow("no alarm") << allOn << true << 0x00 << L{0, 0, 0, 0, 0, 0};
    QTest::newRow("defaults, every bit") << QString() << true << 0x1F << L{0, 0, 0, 1, 0, 0};
    QTest::newRow("defaults, black") << QString() << true << 0x02 << L{0, 0, 1, 0, 0, 0};
    QTest::newRow("defaults, blue") << QString() << true << 0x01 << L{0, 1, 0, 0, 0, 0};
    QTest::newRow("all enabled, every bit") << allOn << true << 0x1F << L{1, 0, 0, 1, 1, 1};
    QTest::newRow("all enabled, IRE") << allOn << true << 0x04 << L{0, 0, 0, 0, 1, 0};
    QTest::newRow("all enabled, RGB and mute") << allOn << true << 0x18 << L{0, 0, 0, 1, 0, 1};
    QTest::newRow("all enabled, black only") << allOn << true << 0x02 << L{0, 0, 1, 0, 0, 0};
    QTest::newRow("all disabled, every bit") << allOff << true << 0x1F << L{0, 0, 0, 0, 0, 0};
    QTest::newRow("only black disabled") << QStringLiteral("[alarm]\nblack=false\n") << true
                                         << 0x0A << L{0, 0, 0, 1, 0, 0};
    QTest::newRow("powered off, all enabled") << allOn << false << 0x1F << L{0, 0, 0, 0, 0, 0};
    QTest::newRow("powered off, blue") << allOn << false << 0x01 << L{0, 0, 0, 0, 0, 0};
}

void TestMWindow::alarmIndicators()
{
    QFETCH(QString, alarmGroup);
    QFETCH(bool, powered);
    QFETCH(int, alarm);
    QFETCH(QList<bool>, expected);

    // Start from other indicators checked, so that stale checks would show.
    writeIni(QStringLiteral("[alarm]\nnosignal=true\nire=true\nrgb=true\n"));
    CMonitor all = sampleMonitor(9);
    all.alarm = 0x1D; // blue, IRE, mute, RGB
    window->setMonitor(&all);
    QCOMPARE(alarmStates(), QList<bool>({0, 1, 0, 1, 1, 1}));
    all.alarm = 0x03;
    window->setMonitor(&all);
    QCOMPARE(alarmStates(), QList<bool>({1, 0, 0, 0, 0, 0}));

    writeIni(alarmGroup);
    CMonitor m = sampleMonitor(9);
    m.state = powered ? quint32(CMonitor::StatePower) : 0;
    m.alarm = alarm;
    window->setMonitor(&m);
    QCOMPARE(alarmStates(), expected);
}

void TestMWindow::alarmOptionsFollowOnReshow()
{
    CMonitor m = sampleMonitor(12);
    m.alarm = 0x08;
    window->setMonitor(&m);
    QCOMPARE(alarmStates(), QList<bool>({0, 0, 0, 1, 0, 0}));
    // The main window re-shows its own record after the options changed.
    writeIni(QStringLiteral("[alarm]\nmute=false\n"));
    window->setMonitor(window->myMonitor());
    QCOMPARE(alarmStates(), QList<bool>({0, 0, 0, 0, 0, 0}));
    QCOMPARE(window->myMonitor()->address, quint8(12));
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("KV0012"));
}

void TestMWindow::functionIndicators_data()
{
    QTest::addColumn<quint32>("functions");
    QTest::addColumn<QStringList>("checked");

    QTest::newRow("none") << quint32(0) << QStringList();
    QTest::newRow("bits 0 and 29") << quint32(0x20000001) << QStringList{"Zoom", "CX Scale"};
    QTest::newRow("bits 30 and 31") << quint32(0xC0000000) << QStringList();
    QTest::newRow("every bit") << quint32(0xFFFFFFFF) << functionTexts;
    QTest::newRow("bits 1, 10, 16")
        << quint32(0x00010402) << QStringList{"Blue", "Measure(10Bit)", "Pixel Zoom"};
}

void TestMWindow::functionIndicators()
{
    QFETCH(quint32, functions);
    QFETCH(QStringList, checked);

    // Show everything first: indicators must also be cleared.
    CMonitor m = sampleMonitor(3);
    m.functions = 0xFFFFFFFF;
    window->setMonitor(&m);
    m.functions = functions;
    window->setMonitor(&m);
    QStringList shown;
    for (int i = 0; i < MWindow::FunctionCount; ++i) {
        ROBox *box = child<ROBox>(QStringLiteral("functionBox%1").arg(i));
        if (box->isChecked())
            shown << box->text();
    }
    QCOMPARE(shown, checked);
}

void TestMWindow::updatesByAddress()
{
    // Empty: an update for any monitor is ignored.
    CMonitor other = sampleMonitor(5);
    window->monitorUpdate(other);
    expectPagesEnabled(false);
    QCOMPARE(window->myMonitor()->address, quint8(0));
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("None"));
    window->monitorRemoved(other);
    expectPagesEnabled(false);

    CMonitor shown = sampleMonitor(7);
    window->setMonitor(&shown);
    other.serialNumber = QStringLiteral("OTHER");
    other.input = 8;
    window->monitorUpdate(other);
    QCOMPARE(window->myMonitor()->address, quint8(7));
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("KV0007"));
    QCOMPARE(text("inputLabel"), inputNames.at(6));
    window->monitorRemoved(other);
    expectPagesEnabled(true);
    QCOMPARE(window->myMonitor()->address, quint8(7));

    // The shown address follows its updates.
    shown.serialNumber = QStringLiteral("NEW7");
    shown.rotaryValues[CMonitor::Volume] = 42;
    shown.functions = 0x4;
    window->monitorUpdate(shown);
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("NEW7"));
    QCOMPARE(text("rotaryLabel4"), QStringLiteral("Volume(42)"));
    QVERIFY(child<ROBox>(QStringLiteral("functionBox2"))->isChecked());
    QCOMPARE(child<QGroupBox>(QStringLiteral("powerGroup"))->title(), QStringLiteral("NEW7"));
}

void TestMWindow::removalKeepsValues()
{
    CMonitor m = sampleMonitor(7);
    m.functions = 0x1;
    window->setMonitor(&m);
    window->monitorRemoved(m);
    expectPagesEnabled(false);
    QCOMPARE(window->myMonitor()->address, quint8(0));
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("KV0007"));
    QCOMPARE(text("rotaryLabel4"), QStringLiteral("Volume(-3)"));
    QCOMPARE(text("addressLabel"), QStringLiteral("7"));
    QVERIFY(child<ROBox>(QStringLiteral("functionBox0"))->isChecked());
    QVERIFY(child<QPushButton>(QStringLiteral("powerButton"))->isChecked());

    // Gone is gone: later updates of that address no longer show.
    m.serialNumber = QStringLiteral("BACK");
    window->monitorUpdate(m);
    expectPagesEnabled(false);
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("KV0007"));
}

void TestMWindow::zombieDisablesWithoutChange()
{
    CMonitor m = sampleMonitor(7);
    window->setMonitor(&m);
    CMonitor zombie = m;
    zombie.state |= CMonitor::StateZombie;
    zombie.state &= ~quint32(CMonitor::StatePower);
    zombie.serialNumber = QStringLiteral("ZOMBIE");
    zombie.input = 0;
    zombie.rotaryValues[CMonitor::Hue] = 77;
    zombie.boardVersions = QByteArray::fromHex("FFFFFFFFFFFFFFFFFFFF");
    window->monitorUpdate(zombie);
    expectPagesEnabled(false);
    QCOMPARE(window->myMonitor()->address, quint8(7));
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("KV0007"));
    QCOMPARE(text("inputLabel"), inputNames.at(6));
    QCOMPARE(text("rotaryLabel0"), QStringLiteral("Hue(5)"));
    QCOMPARE(child<QLineEdit>(QStringLiteral("boardEdit0"))->text(), QStringLiteral("0.1.02"));
    QVERIFY(child<QPushButton>(QStringLiteral("powerButton"))->isChecked());

    // Answering again brings it back.
    CMonitor back = zombie;
    back.state = CMonitor::StatePower;
    window->monitorUpdate(back);
    expectPagesEnabled(true);
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("ZOMBIE"));
    QCOMPARE(text("rotaryLabel0"), QStringLiteral("Hue(77)"));
}

void TestMWindow::nullMonitorEmpties()
{
    CMonitor m = sampleMonitor(33);
    window->setMonitor(&m);
    window->setMonitor(nullptr);
    expectPagesEnabled(false);
    QCOMPARE(window->myMonitor()->address, quint8(0));
    // Only the address is dropped.
    QCOMPARE(window->myMonitor()->serialNumber, QStringLiteral("KV0033"));
    QCOMPARE(text("serialNumberLabel"), QStringLiteral("KV0033"));
}

void TestMWindow::miscVersions_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("ten bytes") << QByteArray::fromHex("01021000200130094063")
                               << QStringList{"0.1.02", "1.0.00", "2.0.01", "3.0.09", "4.0.99"};
    QTest::newRow("beyond the tenth ignored")
        << QByteArray::fromHex("1205210AF06300000085FFFF")
        << QStringList{"1.2.05", "2.1.10", "15.0.99", "0.0.00", "0.0.-123"};
    QTest::newRow("five bytes") << QByteArray::fromHex("1205210A30")
                                << QStringList{"1.2.05", "2.1.10", "", "", ""};
    QTest::newRow("one byte") << QByteArray::fromHex("12")
                              << QStringList{"", "", "", "", ""};
    QTest::newRow("none") << QByteArray() << QStringList{"", "", "", "", ""};
}

void TestMWindow::miscVersions()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);

    // Full data first, so that short data must also clear what was there.
    CMonitor full = sampleMonitor(2);
    full.boardVersions = QByteArray::fromHex("99999999999999999999");
    window->setMonitor(&full);
    CMonitor m = sampleMonitor(7);
    m.boardVersions = bytes;
    window->setMonitor(&m);
    QCOMPARE(text("addressLabel"), QStringLiteral("7"));
    QStringList shown;
    for (int i = 0; i < MWindow::BoardCount; ++i) {
        auto *edit = child<QLineEdit>(QStringLiteral("boardEdit%1").arg(i));
        QVERIFY(edit->isReadOnly());
        shown << edit->text();
    }
    QCOMPARE(shown, expected);
}

void TestMWindow::controlTabLayout()
{
    struct Expected {
        const char *group;
        int row;
        int column;
        const char *caption;
    };
    const QList<Expected> buttons = {
        {"Menu", 0, 1, "Up"},       {"Menu", 1, 0, "Menu"},     {"Menu", 1, 2, "Enter"},
        {"Menu", 2, 1, "Down"},     {"Input", 0, 0, "SDI1"},    {"Input", 0, 1, "SDI2"},
        {"Input", 0, 2, "YPbPr"},   {"Input", 0, 3, "CVBS"},    {"Input", 0, 4, "DVI"},
        {"Function", 0, 0, "F1"},   {"Function", 0, 4, "F5"},   {"Rotry", 0, 0, "PUSH"},
        {"Rotry", 1, 4, "CW"},      {"Rotry", 2, 2, "CCW"},
    };
    auto *page = child<QWidget>(QStringLiteral("controlPage"));
    QCOMPARE(page->findChildren<QPushButton *>().size(), 31); // Power, 29 keys, Set
    for (const Expected &e : buttons) {
        QPushButton *found = buttonInGroup(page, QLatin1String(e.group), e.row, e.column);
        QVERIFY2(found, e.caption);
        QCOMPARE(found->text(), QLatin1String(e.caption));
        QVERIFY(!found->isCheckable());
    }
    auto *power = child<QPushButton>(QStringLiteral("powerButton"));
    QVERIFY(power->isCheckable());
    QCOMPARE(power->text(), QStringLiteral("Power"));
    QCOMPARE(power->minimumSize(), QSize(20, 40));
    QCOMPARE(power->parentWidget(), child<QGroupBox>(QStringLiteral("powerGroup")));
    QCOMPARE(gridCell(child<QCheckBox>(QStringLiteral("umdCheck"))), QPoint(0, 0));
    QCOMPARE(gridCell(child<QLineEdit>(QStringLiteral("umdEdit"))), QPoint(0, 2));
    QCOMPARE(gridCell(child<QCheckBox>(QStringLiteral("redTallyCheck"))), QPoint(1, 0));
    QCOMPARE(gridCell(child<QCheckBox>(QStringLiteral("greenTallyCheck"))), QPoint(1, 2));
    QCOMPARE(gridCell(child<QPushButton>(QStringLiteral("setButton"))), QPoint(1, 4));
    QCOMPARE(child<QPushButton>(QStringLiteral("setButton"))->text(), QStringLiteral("Set"));
}

void TestMWindow::umdCheckEnablesText()
{
    auto *check = child<QCheckBox>(QStringLiteral("umdCheck"));
    auto *edit = child<QLineEdit>(QStringLiteral("umdEdit"));
    CMonitor first = sampleMonitor(1);
    window->setMonitor(&first);
    QVERIFY(!check->isChecked());
    QVERIFY(!edit->isEnabled());
    check->setChecked(true);
    QVERIFY(edit->isEnabled());
    edit->setText(QStringLiteral("CAM 1"));
    check->setChecked(false);
    QVERIFY(!edit->isEnabled());
    QCOMPARE(edit->text(), QStringLiteral("CAM 1"));
    check->setChecked(true);
    QVERIFY(edit->isEnabled());
    QCOMPARE(edit->text(), QStringLiteral("CAM 1"));

    // Showing another monitor leaves the UMD inputs alone.
    CMonitor m = sampleMonitor(8);
    window->setMonitor(&m);
    QVERIFY(check->isChecked());
    QCOMPARE(edit->text(), QStringLiteral("CAM 1"));
}

QTEST_MAIN(TestMWindow)
#include "tst_mwindow.moc"
