// The detail window without a bus: what each tab shows for a record, when
// the tabs are usable, and which updates it follows.
#include "detail/mwindow.h"
#include "detail/robox.h"
#include "monitor/alarmstatus.h"
#include "tests/support/widgetlookup.h"
#include "tests/support/workdir.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// The labels and fields most checks read, and what sampleMonitor(7) puts in them.
const QStringList shownLabels = {"serialNumberLabel", "versionLabel", "inputLabel", "modeLabel", "timeCodeLabel",
                                 "rotaryLabel0", "rotaryLabel1", "rotaryLabel2", "rotaryLabel3", "rotaryLabel4",
                                 "addressLabel", "boardEdit0", "boardEdit1", "boardEdit2", "boardEdit3", "boardEdit4"};
const QStringList sample7 = {"KV0007", "V2.13", "SDI 1", "1920x1080/59.94I", "01:02:03:04", "Hue(5)", "Chroma(-1)",
                             "Bright(100)", "Contrast(0)", "Volume(-3)", "7", "0.1.02", "1.0.00", "2.0.01", "3.0.09",
                             "4.0.99"};

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

    WorkDir work;
    std::unique_ptr<MWindow> window;

    template<typename T = QLabel> T *w(const QString &name) { return child<T>(window.get(), name); }
    // Of labels and line edits alike.
    QStringList texts(const QStringList &names)
    {
        QStringList shown;
        for (const QString &name : names)
            shown << w<QWidget>(name)->property("text").toString();
        return shown;
    }
    // 3 when every tab page is usable, 0 when none is.
    int enabledPages()
    {
        return w<QWidget>("statusPage")->isEnabled() + w<QWidget>("controlPage")->isEnabled()
               + w<QWidget>("miscPage")->isEnabled();
    }
    // The captions of the checked indicators, as the operator reads them.
    QString checked(const QString &prefix, int count)
    {
        QStringList captions;
        for (int i = 0; i < count; ++i) {
            if (w<ROBox>(prefix + QString::number(i))->isChecked())
                captions << w<ROBox>(prefix + QString::number(i))->text();
        }
        return captions.join('|');
    }
    QString alarms() { return checked("alarmBox", MWindow::AlarmCount); }
    QString functions() { return checked("functionBox", MWindow::FunctionCount); }
    void show(CMonitor m) { window->setMonitor(&m); }

private slots:
    void init()
    {
        QVERIFY(work.writeIni(QByteArray()));
        window = std::make_unique<MWindow>(QStringLiteral("Monitor window"));
    }

    void showsRecord()
    {
        QCOMPARE(enabledPages(), 0); // nothing to show yet
        // Each page scrolls on its own, so that the window fits small screens.
        for (const char *page : {"statusPage", "controlPage", "miscPage"})
            QVERIFY(qobject_cast<QScrollArea *>(w<QWidget>(page)->parentWidget()->parentWidget()));
        CMonitor m = sampleMonitor(7);
        window->setMonitor(&m);
        QCOMPARE(enabledPages(), 3);
        QCOMPARE(texts(shownLabels), sample7);
        QCOMPARE(w("statusImageLabel")->pixmap().toImage(), statusImage(m).toImage());
        QCOMPARE(w<QGroupBox>("powerGroup")->title(), QStringLiteral("KV0007"));
        QVERIFY(w<QPushButton>("powerButton")->isChecked());
        QVERIFY(w<QLineEdit>("boardEdit4")->isReadOnly());
        // The window holds a copy: changing the source record changes nothing.
        m.serialNumber = QStringLiteral("changed");
        QCOMPARE(window->myMonitor()->serialNumber, QStringLiteral("KV0007"));

        // The UMD check enables its text, which showing another monitor leaves.
        auto *umd = w<QLineEdit>("umdEdit");
        QVERIFY(!umd->isEnabled());
        w<QCheckBox>("umdCheck")->setChecked(true);
        umd->setText(QStringLiteral("CAM 1"));

        // A powered-off monitor is still shown, so that it can be switched
        // on. Versions not fetched yet: complete pairs only, the rest cleared.
        CMonitor off = sampleMonitor(120);
        off.state = 0;
        off.boardVersions = QByteArray::fromHex("1205210A30");
        show(off);
        QCOMPARE(enabledPages(), 3);
        QVERIFY(!w<QPushButton>("powerButton")->isChecked());
        QCOMPARE(texts(shownLabels.mid(10)), QStringList({"120", "1.2.05", "2.1.10", "", "", ""}));
        QVERIFY(umd->isEnabled() && umd->text() == QLatin1String("CAM 1"));
        w<QCheckBox>("umdCheck")->setChecked(false);
        QVERIFY(!umd->isEnabled());
    }

    // Codes the tables do not know leave the text shown before.
    void unknownCodesKeepText()
    {
        CMonitor m = sampleMonitor(5);
        const auto shown = [&](int input, int mode) {
            m.input = quint8(input);
            m.mode = quint8(mode);
            show(m);
            return texts({"inputLabel", "modeLabel"});
        };
        QCOMPARE(shown(11, 57), QStringList({"None", "No Signal"}));
        QCOMPARE(shown(5, 3), QStringList({"YPbPr", modeNames.at(3)}));
        QCOMPARE(shown(11, 56), QStringList({"YPbPr", modeNames.at(56)}));
        QCOMPARE(shown(10, 57), QStringList({inputNames.at(10), modeNames.at(56)}));
        QCOMPARE(shown(0, 0), QStringList({inputNames.at(0), modeNames.at(0)}));
    }

    // Each indicator bears the caption of the alarm it shows. Which alarms
    // count under which options is the alarm status's own test.
    void indicators()
    {
        CMonitor m = sampleMonitor(9);
        m.alarm = 0x02;
        show(m);
        QCOMPARE(alarms(), QStringLiteral("Black Field"));
        QVERIFY(work.writeIni("[alarm]\nnosignal=true\nmute=true\nblack=true\nblue=true\nire=true\nrgb=true\n"));
        m.alarm = 0x1F;
        show(m);
        QCOMPARE(alarms(), QStringLiteral("No Signal|Audio Mute|IRE alarm|RGB alarm"));
        m.alarm = 0x01;
        show(m);
        QCOMPARE(alarms(), QStringLiteral("Blue Field"));
        // The main window re-shows the window's own record after the options
        // changed; it must read them again.
        QVERIFY(work.writeIni("[alarm]\nblue=false\n"));
        window->setMonitor(window->myMonitor());
        QCOMPARE(alarms(), QString());
        // Functions by bit, set and cleared; bits 30 and 31 have none.
        m.functions = 0xFFFFFFFF;
        show(m);
        QCOMPARE(functions().count('|'), MWindow::FunctionCount - 1);
        m.functions = 0xE0010403;
        show(m);
        QCOMPARE(functions(), QStringLiteral("Zoom|Blue|Measure(10Bit)|Pixel Zoom|CX Scale"));
    }

    // The window follows updates of its own address only; removed, or a
    // zombie that stopped answering, the last values stay on show and nobody
    // can press keys; a zombie answering again comes back.
    void followsItsMonitor()
    {
        CMonitor other = sampleMonitor(5);
        window->monitorUpdate(other); // an empty window follows nobody
        QCOMPARE(enabledPages(), 0);
        QCOMPARE(w("serialNumberLabel")->text(), QStringLiteral("None"));
        for (bool zombie : {false, true}) {
            CMonitor m = sampleMonitor(7);
            m.functions = 0x1;
            show(m);
            other.input = 8;
            window->monitorUpdate(other);
            window->monitorRemoved(other);
            QCOMPARE(texts(shownLabels), sample7);
            m.serialNumber = QStringLiteral("NEW7");
            m.rotaryValues[CMonitor::Volume] = 42;
            window->monitorUpdate(m);
            QCOMPARE(texts({"serialNumberLabel", "rotaryLabel4"}), QStringList({"NEW7", "Volume(42)"}));
            QCOMPARE(w<QGroupBox>("powerGroup")->title(), QStringLiteral("NEW7"));

            m.state = CMonitor::StateZombie;
            m.serialNumber = QStringLiteral("LATER");
            zombie ? window->monitorUpdate(m) : window->monitorRemoved(m);
            QCOMPARE(enabledPages(), 0);
            QCOMPARE(window->myMonitor()->address, quint8(zombie ? 7 : 0));
            QCOMPARE(texts({"serialNumberLabel", "boardEdit0"}), QStringList({"NEW7", "0.1.02"}));
            QVERIFY(functions() == QLatin1String("Zoom") && w<QPushButton>("powerButton")->isChecked());
            m.state = CMonitor::StatePower;
            window->monitorUpdate(m);
            QCOMPARE(enabledPages(), zombie ? 3 : 0);
            QCOMPARE(w("serialNumberLabel")->text(), zombie ? "LATER" : "NEW7");
        }
    }
};

QTEST_MAIN(TestMWindow)
#include "tst_mwindow.moc"
