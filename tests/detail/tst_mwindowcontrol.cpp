// The Control tab against a real supervisor on the simulated bus: every key
// button and "Set" must put the right frame on the line for the shown
// monitor, and the Power button must follow what the monitor reports.
#include "supervisionfixture.h"

#include "mwindow.h"
#include "widgetlookup.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <memory>

class TestMWindowControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void keyButtons_data();
    void keyButtons();
    void keyGoesToShownAddress();
    void powerToggleWithoutRefresh();
    void powerFollowsReports();
    void clickShowsOnlyAfterReply();
    void setUmd_data();
    void setUmd();
    void nothingSentWithoutController();

private:
    CMonitor *record(quint8 address) const;
    void show(quint8 address);
    QStringList controlFrames() const;
    QList<QByteArray> umdFrames() const;
    // Waits for `count` control frames, then lets the polls run on a while
    // so that a surplus frame would show too.
    bool waitForControlFrames(int count) const;
    template<typename T> T *child(const QString &name) const
    {
        T *widget = window->findChild<T *>(name);
        if (!widget)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }

    std::unique_ptr<SupervisionFixture> f;
    std::unique_ptr<MWindow> window;
    QWidget *controlPage = nullptr;
};

void TestMWindowControl::initTestCase()
{
    f = std::make_unique<SupervisionFixture>();
    for (quint8 address : {3, 7}) {
        SimMonitorState state = SimMonitor::defaultState(address);
        QVERIFY(f->bus.addMonitor(state));
    }
    f->writeSettings();
    f->createController();
    QVERIFY(f->searchUpTo(7));
    QCOMPARE(f->controller->monitorCount(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(record(7) && !record(7)->serialNumber.isEmpty(), 5000);

    window = std::make_unique<MWindow>(QStringLiteral("Monitor window"));
    window->setController(f->controller.get());
    window->resize(600, 800);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    controlPage = child<QWidget>(QStringLiteral("controlPage"));
    child<QTabWidget>(QStringLiteral("tabs"))->setCurrentWidget(controlPage);
}

void TestMWindowControl::cleanupTestCase()
{
    window.reset();
    f.reset();
}

void TestMWindowControl::init()
{
    show(7);
    QVERIFY(controlPage->isEnabled());
    f->bus.clearTrace();
}

CMonitor *TestMWindowControl::record(quint8 address) const
{
    for (int i = 0; i < f->controller->monitorCount(); ++i) {
        CMonitor *m = f->controller->monitorAt(i);
        if (m && m->address == address)
            return m;
    }
    return nullptr;
}

void TestMWindowControl::show(quint8 address)
{
    CMonitor *m = record(address);
    QVERIFY(m);
    window->setMonitor(m);
}

QStringList TestMWindowControl::controlFrames() const
{
    QStringList frames;
    for (const SimTraceEntry &entry : f->bus.trace()) {
        if (entry.kind == SimTraceEntry::Request && entry.bytes.size() >= 2
            && quint8(entry.bytes.at(1)) == 0xD0)
            frames << QString::fromLatin1(entry.bytes.toHex(' '));
    }
    return frames;
}

QList<QByteArray> TestMWindowControl::umdFrames() const
{
    QList<QByteArray> frames;
    for (const SimTraceEntry &entry : f->bus.trace()) {
        if (entry.kind == SimTraceEntry::Request && entry.bytes.size() >= 2
            && (quint8(entry.bytes.at(1)) & 0xFC) == 0x30)
            frames << entry.bytes;
    }
    return frames;
}

bool TestMWindowControl::waitForControlFrames(int count) const
{
    if (!QTest::qWaitFor([&] { return controlFrames().size() >= count; }, 5000))
        return false;
    return f->bus.waitForRequests(f->bus.requestCount() + 6, 5000);
}

void TestMWindowControl::keyButtons_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("code");

    QTest::newRow("Menu") << "Menu" << 1 << 0 << "Menu" << 0x90;
    QTest::newRow("Up") << "Menu" << 0 << 1 << "Up" << 0x91;
    QTest::newRow("Down") << "Menu" << 2 << 1 << "Down" << 0x92;
    QTest::newRow("Enter") << "Menu" << 1 << 2 << "Enter" << 0x93;
    const QStringList inputs = {"SDI1", "SDI2", "YPbPr", "CVBS", "DVI"};
    for (int i = 0; i < inputs.size(); ++i)
        QTest::addRow("%s", qPrintable(inputs.at(i))) << "Input" << 0 << i << inputs.at(i) << 0x80 + i;
    for (int i = 0; i < 5; ++i)
        QTest::addRow("F%d", i + 1) << "Function" << 0 << i << QStringLiteral("F%1").arg(i + 1)
                                   << 0x88 + i;
    const QStringList rotaries = {"Hue", "Chroma", "Bright", "Contrast", "Volume"};
    for (int i = 0; i < rotaries.size(); ++i) {
        const QByteArray nameBytes = rotaries.at(i).toLatin1();
        const char *name = nameBytes.constData();
        QTest::addRow("PUSH %s", name) << "Rotry" << 0 << i << "PUSH" << 0x98 + i;
        QTest::addRow("CW %s", name) << "Rotry" << 1 << i << "CW" << 0xA0 + i;
        QTest::addRow("CCW %s", name) << "Rotry" << 2 << i << "CCW" << 0xA8 + i;
    }
}

void TestMWindowControl::keyButtons()
{
    QFETCH(QString, group);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, caption);
    QFETCH(int, code);

    QPushButton *button = buttonInGroup(controlPage, group, row, column);
    QVERIFY(button);
    QCOMPARE(button->text(), caption);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(waitForControlFrames(1));
    QCOMPARE(controlFrames(), QStringList{QStringLiteral("87 d0 00 %1").arg(code, 2, 16)});
}

void TestMWindowControl::keyGoesToShownAddress()
{
    show(3);
    QTest::mouseClick(buttonInGroup(controlPage, QStringLiteral("Input"), 0, 4), Qt::LeftButton);
    show(7);
    QTest::mouseClick(buttonInGroup(controlPage, QStringLiteral("Function"), 0, 2),
                      Qt::LeftButton);
    QVERIFY(waitForControlFrames(2));
    QCOMPARE(controlFrames(), QStringList({"83 d0 00 84", "87 d0 00 8a"}));
}

void TestMWindowControl::powerToggleWithoutRefresh()
{
    auto *power = child<QPushButton>(QStringLiteral("powerButton"));
    CMonitor shownOff = *record(7);
    shownOff.state &= ~quint32(CMonitor::StatePower);
    window->setMonitor(&shownOff);
    QVERIFY(!power->isChecked());
    QCOMPARE(controlFrames(), QStringList()); // the refresh itself sends nothing

    // No event processing between the clicks, so no reply can refresh.
    QTest::mouseClick(power, Qt::LeftButton);
    QVERIFY(power->isChecked());
    QTest::mouseClick(power, Qt::LeftButton);
    QVERIFY(!power->isChecked());
    QVERIFY(waitForControlFrames(2));
    QCOMPARE(controlFrames(), QStringList({"87 d0 00 ff", "87 d0 00 fe"}));
    QTRY_VERIFY_WITH_TIMEOUT(!f->bus.monitor(7)->power, 5000);
    QVERIFY(f->bus.setPower(7, true));
}

void TestMWindowControl::powerFollowsReports()
{
    auto *power = child<QPushButton>(QStringLiteral("powerButton"));
    const QMetaObject::Connection follow = connect(f->controller.get(), &MController::monitorChanged,
                                                   window.get(), &MWindow::monitorUpdate);
    QTRY_VERIFY_WITH_TIMEOUT(power->isChecked(), 5000);

    // Switched off at the monitor itself: the next report unchecks the button.
    QVERIFY(f->bus.setPower(7, false));
    QTRY_VERIFY_WITH_TIMEOUT(!power->isChecked(), 5000);
    QCOMPARE(controlFrames(), QStringList());

    // Switched on from here: the button is checked by the click and stays
    // so once the monitor reports power.
    QTest::mouseClick(power, Qt::LeftButton);
    QVERIFY(power->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(f->bus.monitor(7)->power, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(record(7)->state & CMonitor::StatePower, 5000);
    QVERIFY(power->isChecked());
    QCOMPARE(controlFrames(), QStringList{QStringLiteral("87 d0 00 ff")});
    disconnect(follow);
}

void TestMWindowControl::clickShowsOnlyAfterReply()
{
    auto *input = child<QLabel>(QStringLiteral("inputLabel"));
    const QMetaObject::Connection follow = connect(f->controller.get(), &MController::monitorChanged,
                                                   window.get(), &MWindow::monitorUpdate);
    QVERIFY(f->bus.setInputMode(7, 0, 9));
    QTRY_COMPARE_WITH_TIMEOUT(input->text(), inputNames.at(0), 5000);

    QTest::mouseClick(buttonInGroup(controlPage, QStringLiteral("Input"), 0, 1), Qt::LeftButton);
    QCOMPARE(input->text(), inputNames.at(0));
    QTRY_COMPARE_WITH_TIMEOUT(input->text(), inputNames.at(7), 5000); // "SDI 2"
    QCOMPARE(controlFrames(), QStringList{QStringLiteral("87 d0 00 81")});
    disconnect(follow);
}

void TestMWindowControl::setUmd_data()
{
    QTest::addColumn<bool>("umd");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("red");
    QTest::addColumn<bool>("green");
    QTest::addColumn<int>("tally");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("UMD off, both tallies") << false << "CAM 1" << true << true << 3
                                           << QByteArray("        ");
    QTest::newRow("ten characters cut") << true << "0123456789" << false << false << 0
                                        << QByteArray("01234567");
    QTest::newRow("three characters padded") << true << "abc" << true << false << 1
                                             << QByteArray("abc     ");
    QTest::newRow("empty, green") << true << "" << false << true << 2 << QByteArray("        ");
    QTest::newRow("exactly eight") << true << "STUDIO 4" << true << true << 3
                                   << QByteArray("STUDIO 4");
    QTest::newRow("beyond Latin-1") << true << QStringLiteral("\u00c4\u20acx") << false << false
                                    << 0 << QByteArray("\xc4?x     ");
}

void TestMWindowControl::setUmd()
{
    QFETCH(bool, umd);
    QFETCH(QString, text);
    QFETCH(bool, red);
    QFETCH(bool, green);
    QFETCH(int, tally);
    QFETCH(QByteArray, sent);

    auto *check = child<QCheckBox>(QStringLiteral("umdCheck"));
    auto *edit = child<QLineEdit>(QStringLiteral("umdEdit"));
    // The indicator, at the left, is part of the click area however wide
    // the grid makes the box.
    const QPoint indicator(6, check->height() / 2);
    if (!check->isChecked())
        QTest::mouseClick(check, Qt::LeftButton, {}, indicator);
    QVERIFY(edit->isEnabled());
    edit->setText(text);
    if (!umd)
        QTest::mouseClick(check, Qt::LeftButton, {}, indicator);
    QCOMPARE(check->isChecked(), umd);
    child<QCheckBox>(QStringLiteral("redTallyCheck"))->setChecked(red);
    child<QCheckBox>(QStringLiteral("greenTallyCheck"))->setChecked(green);

    const int before = f->bus.monitor(7)->umdFrames;
    QTest::mouseClick(child<QPushButton>(QStringLiteral("setButton")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f->bus.monitor(7)->umdFrames, before + 1, 5000);
    const SimMonitorState state = *f->bus.monitor(7);
    QCOMPARE(state.umdText, sent);
    QCOMPARE(int(state.umdTally), tally);

    QByteArray frame;
    frame.append(char(0x87));
    frame.append(char(0x30 | tally));
    frame.append(sent);
    frame.append(sent);
    QCOMPARE(umdFrames(), QList<QByteArray>{frame});
    QCOMPARE(controlFrames(), QStringList());
    QCOMPARE(f->bus.monitor(3)->umdFrames, 0);
}

void TestMWindowControl::nothingSentWithoutController()
{
    QPushButton *dvi = buttonInGroup(controlPage, QStringLiteral("Input"), 0, 4);
    auto *power = child<QPushButton>(QStringLiteral("powerButton"));
    auto *set = child<QPushButton>(QStringLiteral("setButton"));
    const int umdBefore = f->bus.monitor(7)->umdFrames;

    window->setController(nullptr);
    QTest::mouseClick(dvi, Qt::LeftButton);
    QTest::mouseClick(power, Qt::LeftButton);
    QTest::mouseClick(set, Qt::LeftButton);
    window->setController(f->controller.get());

    // The queue is served in order: had the clicks above queued anything,
    // it would go out before this one.
    QTest::mouseClick(buttonInGroup(controlPage, QStringLiteral("Menu"), 1, 0), Qt::LeftButton);
    QVERIFY(waitForControlFrames(1));
    QCOMPARE(controlFrames(), QStringList{QStringLiteral("87 d0 00 90")});
    QCOMPARE(umdFrames(), QList<QByteArray>());
    QCOMPARE(f->bus.monitor(7)->umdFrames, umdBefore);
}

QTEST_MAIN(TestMWindowControl)
#include "tst_mwindowcontrol.moc"
