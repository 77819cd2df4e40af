// The Control tab against a real supervisor on the simulated bus: every key
// button and "Set" must put the right frame on the line for the shown
// monitor, and the Power button must follow what the monitor reports.
#include "detail/mwindow.h"
#include "tests/support/supervisionfixture.h"
#include "tests/support/widgetlookup.h"
#include "transport/rsthread.h"

#include <QtTest>
#include <QtWidgets>

class TestMWindowControl : public QObject
{
    Q_OBJECT

    SupervisionFixture f;
    MWindow window{QStringLiteral("Monitor window")};
    QWidget *controlPage = child<QWidget>(&window, "controlPage");

    template<typename T = QPushButton> T *w(const QString &name) const { return child<T>(&window, name); }
    CMonitor *record(quint8 address) const { return f.controller->transactionThread()->findMonitor(address); }
    void click(const char *group, int row, int column)
    {
        QPushButton *button = buttonInGroup(controlPage, group, row, column);
        QVERIFY2(button, group);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Request frames whose command byte, masked, is command.
    QStringList frames(quint8 command = 0xD0, quint8 mask = 0xFF) const
    {
        QStringList found;
        for (const SimTraceEntry &entry : f.bus.trace()) {
            if (entry.kind == SimTraceEntry::Request && entry.bytes.size() >= 2
                && (quint8(entry.bytes.at(1)) & mask) == command)
                found << QString::fromLatin1(entry.bytes.toHex(' '));
        }
        return found;
    }
    // Waits for count control frames, then lets the polls run on a while so
    // that a surplus frame would show too.
    bool waitForControlFrames(int count) const
    {
        return QTest::qWaitFor([&] { return frames().size() >= count; }, 5000)
               && f.bus.waitForRequests(f.bus.requestCount() + 6, 5000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(f.startWith({3, 7}));
        window.setController(f.controller.get());
        window.resize(600, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        w<QTabWidget>("tabs")->setCurrentWidget(controlPage);
    }
    void init()
    {
        window.setMonitor(record(7));
        QVERIFY(controlPage->isEnabled());
        f.bus.clearTrace();
    }

    // Each button, where the grid puts it, bears the caption printed on the
    // monitor's panel and sends that key's code, once.
    void keyButtons()
    {
        QStringList captions;
        QStringList expected;
        const auto key = [&](const char *group, int row, int column, const QString &caption, int code) {
            QPushButton *button = buttonInGroup(controlPage, group, row, column);
            captions << (button ? button->text() : QStringLiteral("no button"));
            expected << caption + QStringLiteral(": 87 d0 00 %1").arg(code, 2, 16);
            if (button)
                QTest::mouseClick(button, Qt::LeftButton);
        };
        key("Menu", 1, 0, "Menu", 0x90);
        key("Menu", 0, 1, "Up", 0x91);
        key("Menu", 2, 1, "Down", 0x92);
        key("Menu", 1, 2, "Enter", 0x93);
        const QStringList inputs = {"SDI1", "SDI2", "YPbPr", "CVBS", "DVI"};
        for (int i = 0; i < 5; ++i) {
            key("Input", 0, i, inputs.at(i), 0x80 + i);
            key("Function", 0, i, QStringLiteral("F%1").arg(i + 1), 0x88 + i);
            key("Rotry", 0, i, "PUSH", 0x98 + i);
            key("Rotry", 1, i, "CW", 0xA0 + i);
            key("Rotry", 2, i, "CCW", 0xA8 + i);
        }
        QVERIFY(waitForControlFrames(expected.size()));
        const QStringList sent = frames();
        for (int i = 0; i < captions.size(); ++i)
            captions[i] += ": " + sent.value(i);
        QCOMPARE(captions.join('\n'), expected.join('\n'));
        QCOMPARE(sent.size(), expected.size());
    }

    // To the monitor shown at the time of the click, and nothing without a
    // controller. The queue is served in order: had the clicks without one
    // queued anything, it would go out before the next.
    void keyGoesToShownAddress()
    {
        window.setMonitor(record(3));
        click("Input", 0, 4); // DVI
        window.setController(nullptr);
        click("Menu", 1, 0);
        QTest::mouseClick(w("powerButton"), Qt::LeftButton);
        QTest::mouseClick(w("setButton"), Qt::LeftButton);
        window.setController(f.controller.get());
        window.setMonitor(record(7));
        click("Function", 0, 2); // F3
        QVERIFY(waitForControlFrames(2));
        QCOMPARE(frames(), QStringList({"83 d0 00 84", "87 d0 00 8a"}));
        QCOMPARE(frames(0x30, 0xFC), QStringList());
    }

    // The Power button toggles with each click before any report comes (no
    // events are processed between the clicks), then follows the reports;
    // a key's effect, too, shows only once the monitor reports it.
    void followsReports()
    {
        QPushButton *power = w("powerButton");
        QLabel *input = w<QLabel>("inputLabel");
        CMonitor shownOff = *record(7);
        shownOff.state &= ~quint32(CMonitor::StatePower);
        window.setMonitor(&shownOff);
        QTest::mouseClick(power, Qt::LeftButton);
        const bool checkedByOne = power->isChecked();
        QTest::mouseClick(power, Qt::LeftButton);
        QVERIFY(checkedByOne && !power->isChecked());
        QVERIFY(waitForControlFrames(2));
        QCOMPARE(frames(), QStringList({"87 d0 00 ff", "87 d0 00 fe"})); // the refresh sent nothing
        QTRY_VERIFY_WITH_TIMEOUT(!f.bus.monitor(7)->power, 5000);

        f.bus.clearTrace();
        const QMetaObject::Connection follow = connect(f.controller.get(), &MController::monitorChanged,
                                                       &window, &MWindow::monitorUpdate);
        for (const bool on : {true, false}) { // switched at the monitor itself
            QVERIFY(f.bus.setPower(7, on));
            QTRY_COMPARE_WITH_TIMEOUT(power->isChecked(), on, 5000);
        }
        QCOMPARE(frames(), QStringList());
        // Switched on from here: checked by the click, and it stays so once
        // the monitor reports power.
        QTest::mouseClick(power, Qt::LeftButton);
        QVERIFY(power->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(record(7)->state & CMonitor::StatePower, 5000);
        QVERIFY(power->isChecked());
        QVERIFY(f.bus.setInputMode(7, 0, 9));
        QTRY_COMPARE_WITH_TIMEOUT(input->text(), inputNames.at(0), 5000);
        click("Input", 0, 1); // SDI2
        QCOMPARE(input->text(), inputNames.at(0));
        QTRY_COMPARE_WITH_TIMEOUT(input->text(), inputNames.at(7), 5000);
        QCOMPARE(frames(), QStringList({"87 d0 00 ff", "87 d0 00 81"}));
        disconnect(follow);
    }

    // What the UMD group sends, as the shown monitor receives it: with UMD
    // unchecked blank text, otherwise the text in Latin-1 ('?' for what it
    // cannot hold), cut or padded to eight by the command; tally bit 0 red,
    // bit 1 green.
    void setUmd()
    {
        auto *check = w<QCheckBox>("umdCheck");
        // The indicator, at the left, is part of the click area however wide
        // the grid makes the box.
        const QPoint indicator(6, check->height() / 2);
        for (const auto &[umd, text, tally, sent] : {std::tuple(false, "CAM 1", 3, "        "),
                                                     std::tuple(true, "\u00c4\u20acx", 2, "\xc4?x     ")}) {
            if (!check->isChecked())
                QTest::mouseClick(check, Qt::LeftButton, {}, indicator);
            w<QLineEdit>("umdEdit")->setText(QString::fromUtf8(text));
            if (!umd)
                QTest::mouseClick(check, Qt::LeftButton, {}, indicator);
            QCOMPARE(check->isChecked(), umd);
            w<QCheckBox>("redTallyCheck")->setChecked(tally & 1);
            w<QCheckBox>("greenTallyCheck")->setChecked(tally & 2);
            f.bus.clearTrace();
            const int before = f.bus.monitor(7)->umdFrames;
            QTest::mouseClick(w("setButton"), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(f.bus.monitor(7)->umdFrames, before + 1, 5000);
            QCOMPARE(f.bus.monitor(7)->umdText, QByteArray(sent));
            QCOMPARE(int(f.bus.monitor(7)->umdTally), tally);
            const QByteArray frame = QByteArray("\x87") + char(0x30 | tally) + sent + sent;
            QCOMPARE(frames(0x30, 0xFC), QStringList{QString::fromLatin1(frame.toHex(' '))});
            QCOMPARE(frames(), QStringList());
            QCOMPARE(f.bus.monitor(3)->umdFrames, 0);
        }
    }
};

QTEST_MAIN(TestMWindowControl)
#include "tst_mwindowcontrol.moc"
