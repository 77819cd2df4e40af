// The test script runner against a real supervisor on the simulated bus:
// what reaches the bus, when, and what the operator sees.
#include "controlkeys.h"
#include "modalwatcher.h"
#include "scriptrunner.h"
#include "supervisionfixture.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressDialog>
#include <QtTest>

#include <memory>

namespace {

// Answers every control frame at once, so a run's commands leave quickly;
// no script below names it.
constexpr quint8 SentinelAddress = 100;
const QString sentinelFrame = QStringLiteral("e4d00093"); // ENTER to 100

bool isControlFrame(const SimTraceEntry &entry)
{
    return entry.kind == SimTraceEntry::Request && entry.bytes.size() == 4
           && quint8(entry.bytes.at(1)) == 0xD0;
}

QStringList hex(const QList<SimTraceEntry> &entries)
{
    QStringList frames;
    for (const SimTraceEntry &entry : entries)
        frames << QString::fromLatin1(entry.bytes.toHex());
    return frames;
}

QList<QProgressDialog *> progressDialogs()
{
    QList<QProgressDialog *> dialogs;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *dialog = qobject_cast<QProgressDialog *>(window))
            dialogs << dialog;
    }
    return dialogs;
}

QProgressDialog *visibleProgressDialog()
{
    for (QProgressDialog *dialog : progressDialogs()) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

struct Box {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool progressVisible = false;
};

} // namespace

class TestScriptRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void directives_data();
    void directives();
    void exampleWaitsBetweenPresses();
    void idle_data();
    void idle();
    void progressDialog_data();
    void progressDialog();
    void syntaxError_data();
    void syntaxError();
    void stopEndsTheRunAfterTheWait();
    void queuedCommandsOutliveTheRun();
    void longScript();
    void openFailure_data();
    void openFailure();
    void shippedExamples_data();
    void shippedExamples();

private:
    QString writeScript(const QByteArray &text);
    ScriptRunner::Outcome run(const QString &fileName, const QList<quint8> &selection = {});
    // Control frames sent so far, waited for until all that is queued now
    // has left.
    QList<SimTraceEntry> controlFramesSent();
    QStringList controlFramesInTrace() const;

    std::unique_ptr<SupervisionFixture> f;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<ModalWatcher> boxWatcher;
    QList<Box> boxes;
    int scripts = 0;
};

void TestScriptRunner::initTestCase()
{
    f = std::make_unique<SupervisionFixture>();
    for (const quint8 address : {3, 4, 5, 7, 9, 44, int(SentinelAddress)})
        QVERIFY(f->bus.addMonitor(address));
    f->writeSettings(QString(), 20);
    f->createController();
    QVERIFY(f->searchUpTo(9));
    QCOMPARE(f->controller->monitorCount(), 5);

    window = std::make_unique<QWidget>();
    window->resize(400, 300);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    // Every message box is recorded and answered, so that a run that shows
    // one where it should not fails instead of hanging.
    boxWatcher = std::make_unique<ModalWatcher>([this](QWidget *shown) {
        auto *box = qobject_cast<QMessageBox *>(shown);
        if (!box)
            return false;
        boxes << Box{box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                     visibleProgressDialog() != nullptr};
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
        return true;
    });
}

void TestScriptRunner::cleanupTestCase()
{
    boxWatcher.reset();
    window.reset();
    f.reset();
}

void TestScriptRunner::init()
{
    boxes.clear();
    f->bus.clearTrace();
}

QString TestScriptRunner::writeScript(const QByteArray &text)
{
    const QString name = f->dir.filePath(QStringLiteral("script%1.txt").arg(++scripts));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(name));
    return name;
}

ScriptRunner::Outcome TestScriptRunner::run(const QString &fileName, const QList<quint8> &selection)
{
    ScriptRunner runner(window.get(), f->controller.get());
    return runner.run(fileName, selection);
}

QList<SimTraceEntry> TestScriptRunner::controlFramesSent()
{
    // The queue is served in order: once the sentinel is out, so is
    // everything queued before it.
    f->controller->sendControl(ControlKeys::MenuEnter, SentinelAddress);
    QList<SimTraceEntry> frames;
    const bool drained = QTest::qWaitFor([&] {
        frames.clear();
        const QList<SimTraceEntry> trace = f->bus.trace();
        for (const SimTraceEntry &entry : trace) {
            if (!isControlFrame(entry))
                continue;
            if (entry.bytes.toHex() == sentinelFrame.toLatin1())
                return true;
            frames << entry;
        }
        return false;
    }, 15000);
    if (!drained)
        qWarning("the queue did not drain");
    return drained ? frames : QList<SimTraceEntry>();
}

QStringList TestScriptRunner::controlFramesInTrace() const
{
    QList<SimTraceEntry> frames;
    const QList<SimTraceEntry> trace = f->bus.trace();
    for (const SimTraceEntry &entry : trace) {
        if (isControlFrame(entry))
            frames << entry;
    }
    return hex(frames);
}

void TestScriptRunner::directives_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QList<quint8>>("selection");
    QTest::addColumn<QStringList>("frames"); // sync, 0xD0, 0, key code

    QTest::newRow("each press to each target in list order")
        << QByteArray("@Monitor [3 5]\n@Button [MENU]\n@Button [DOWN]\n") << QList<quint8>()
        << QStringList({"83d00090", "85d00090", "83d00092", "85d00092"});
    QTest::newRow("Monitor lines append")
        << QByteArray("@Monitor [3]\n@Monitor [4]\n@Button [UP]\n") << QList<quint8>()
        << QStringList({"83d00091", "84d00091"});
    QTest::newRow("Monitor after a press appends for the next")
        << QByteArray("@Monitor [3]\n@Button [F1]\n@Monitor [4]\n@Button [F2]\n")
        << QList<quint8>({9}) << QStringList({"83d00088", "83d00089", "84d00089"});
    QTest::newRow("selection when no Monitor came first, later Monitor appends")
        << QByteArray("@Button [F1]\n@Monitor [9]\n@Button [F2]\n") << QList<quint8>({5, 7})
        << QStringList({"85d00088", "87d00088", "85d00089", "87d00089", "89d00089"});
    QTest::newRow("Monitor first: selection unused")
        << QByteArray("@Monitor [3]\n@Button [F3]\n") << QList<quint8>({5})
        << QStringList({"83d0008a"});
    QTest::newRow("nothing selected: presses go nowhere, the run goes on")
        << QByteArray("@Button [MENU]\n@Monitor [4]\n@Button [UP]\n") << QList<quint8>()
        << QStringList({"84d00091"});
    QTest::newRow("low 8 bits of an address")
        << QByteArray("@Monitor [300]\n@Button [ON]\n") << QList<quint8>() << QStringList({"acd000ff"});
    QTest::newRow("non-numbers in a Monitor list skipped")
        << QByteArray("@Monitor [3 x -4 5.0 0x5 99999999999 7]\n@Button [CW2]\n") << QList<quint8>()
        << QStringList({"83d000a1", "87d000a1"});
    QTest::newRow("white space around and inside")
        << QByteArray("  @  Monitor   [  3 \t   5  ]  \n\t@Button[   PUSH4 ]\n") << QList<quint8>()
        << QStringList({"83d0009b", "85d0009b"});
    QTest::newRow("comments and blank lines")
        << QByteArray("# header\n\n   \n\t# indented\n@Monitor [4]\n# @Button [MENU]\n@Button [YPbPr]\n")
        << QList<quint8>() << QStringList({"84d00082"});
    QTest::newRow("CR LF line ends, no end of line at the end")
        << QByteArray("@Monitor [3]\r\n@Button [SDI2]\r\n@Button [CVBS]") << QList<quint8>()
        << QStringList({"83d00081", "83d00083"});

    // Ignored lines, each between a target and a press that must still go.
    const QList<QByteArray> ignored = {
        "@Button MENU", "@Button [menu]", "@Button [Menu]", "@Button [MENU", "@Button MENU]",
        "@Button [MENU DOWN]", "@Button []", "@Button [F6]", "@Idle [abc]", "@Idle 500",
        "@Reset [3]", "@monitor [5]", "@Monitors [5]", "@Monitor 5", "@Monitor [5", "@",
        "@ [5]", "@Buttons [MENU]", "@button [MENU]", "@BUTTON [MENU]",
    };
    for (const QByteArray &line : ignored) {
        QTest::addRow("ignored: %s", line.constData())
            << "@Monitor [3]\n" + line + "\n@Button [DOWN]\n" << QList<quint8>()
            << QStringList({"83d00092"});
    }

    // Every key name of the table with its code, and case counts.
    const QList<QPair<QByteArray, QString>> keys = {
        {"MENU", "90"},  {"UP", "91"},    {"DOWN", "92"},  {"ENTER", "93"}, {"F1", "88"},
        {"F2", "89"},    {"F3", "8a"},    {"F4", "8b"},    {"F5", "8c"},    {"PUSH1", "98"},
        {"PUSH2", "99"}, {"PUSH3", "9a"}, {"PUSH4", "9b"}, {"PUSH5", "9c"}, {"CW1", "a0"},
        {"CW2", "a1"},   {"CW3", "a2"},   {"CW4", "a3"},   {"CW5", "a4"},   {"CCW1", "a8"},
        {"CCW2", "a9"},  {"CCW3", "aa"},  {"CCW4", "ab"},  {"CCW5", "ac"},  {"ON", "ff"},
        {"OFF", "fe"},   {"SDI1", "80"},  {"SDI2", "81"},  {"YPbPr", "82"}, {"CVBS", "83"},
        {"DVI", "84"},   {"ypbpr", ""},   {"Dvi", ""},     {"on", ""},
    };
    QByteArray all = "@Monitor [4]\n";
    QStringList codes;
    for (const auto &[name, code] : keys) {
        all += "@Button [" + name + "]\n";
        if (!code.isEmpty())
            codes << "84d000" + code;
    }
    QTest::newRow("every key name") << all << QList<quint8>() << codes;
}

void TestScriptRunner::directives()
{
    QFETCH(QByteArray, script);
    QFETCH(QList<quint8>, selection);
    QFETCH(QStringList, frames);

    QCOMPARE(run(writeScript(script), selection), ScriptRunner::Finished);
    QCOMPARE(hex(controlFramesSent()), frames);
    QCOMPARE(boxes.size(), 0);
    QVERIFY(progressDialogs().isEmpty());
}

void TestScriptRunner::exampleWaitsBetweenPresses()
{
    const QString script = writeScript("@Monitor [3 5]\n@Button [MENU]\n@Idle [500]\n@Button [DOWN]\n");
    QElapsedTimer clock;
    clock.start();
    qint64 tickedAt = -1;
    QTimer::singleShot(100, window.get(), [&] { tickedAt = clock.elapsed(); });
    const ScriptRunner::Outcome outcome = run(script);
    const qint64 took = clock.elapsed();
    const qint64 ticked = tickedAt;

    QCOMPARE(outcome, ScriptRunner::Finished);
    QVERIFY2(took >= 500 && took < 3000, qPrintable(QString::number(took)));
    // The wait kept the event loop going.
    QVERIFY2(ticked >= 0 && ticked < 500, qPrintable(QString::number(ticked)));

    const QList<SimTraceEntry> frames = controlFramesSent();
    QCOMPARE(hex(frames), QStringList({"83d00090", "85d00090", "83d00092", "85d00092"}));
    const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(frames.at(2).start
                                                                           - frames.at(1).start);
    QVERIFY2(gap.count() >= 450, qPrintable(QString::number(gap.count())));
}

void TestScriptRunner::idle_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("atLeastMs");
    QTest::addColumn<int>("belowMs");

    // Lines that must not wait name a second, more than their limit.
    QTest::newRow("waits") << QByteArray("@Idle [300]") << 300 << 2000;
    QTest::newRow("negative does not wait") << QByteArray("@Idle [-5]") << 0 << 800;
    QTest::newRow("most negative int") << QByteArray("@Idle [-2147483648]") << 0 << 800;
    QTest::newRow("not a number") << QByteArray("@Idle [1s]") << 0 << 800;
    QTest::newRow("blanks are not collapsed") << QByteArray("@Idle [10 00]") << 0 << 800;
    QTest::newRow("too large for an int") << QByteArray("@Idle [99999999999]") << 0 << 800;
    QTest::newRow("no brackets") << QByteArray("@Idle 1000") << 0 << 800;
    QTest::newRow("lower case keyword") << QByteArray("@idle [1000]") << 0 << 800;
}

void TestScriptRunner::idle()
{
    QFETCH(QByteArray, line);
    QFETCH(int, atLeastMs);
    QFETCH(int, belowMs);

    const QString script = writeScript("@Monitor [4]\n" + line + "\n@Button [ENTER]\n");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(run(script), ScriptRunner::Finished);
    const qint64 took = clock.elapsed();
    QVERIFY2(took >= atLeastMs && took < belowMs, qPrintable(QString::number(took)));
    QCOMPARE(hex(controlFramesSent()), QStringList({"84d00093"}));
}

void TestScriptRunner::progressDialog_data()
{
    QTest::addColumn<QByteArray>("linesBefore"); // the wait being watched comes after them
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("label");

    QTest::newRow("first line") << QByteArray() << 0 << "Automotive test...";
    QTest::newRow("comments and blank lines count")
        << QByteArray("# one\n\n   \n@Monitor [3]\n") << 4 << "Automotive test...";
    QTest::newRow("a press shows its line")
        << QByteArray("@Monitor [3]\n@Button [MENU]\n\n") << 3 << "Button [MENU]";
    QTest::newRow("a malformed press shows its line too")
        << QByteArray("@Monitor [3]\n  @  Button   MENU  \n") << 2 << "Button   MENU";
    QTest::newRow("so does an unknown key")
        << QByteArray("@Monitor [3]\n@Button [F9]\n") << 2 << "Button [F9]";
}

void TestScriptRunner::progressDialog()
{
    QFETCH(QByteArray, linesBefore);
    QFETCH(int, value);
    QFETCH(QString, label);

    struct Seen {
        bool found = false;
        bool visible = false;
        Qt::WindowModality modality = Qt::NonModal;
        QWidget *parent = nullptr;
        QString title, label;
        int value = -2, minimum = -2, maximum = -2;
        bool stopButton = false;
    } seen;
    const QString script = writeScript(linesBefore + "@Idle [400]\n# after\n");
    QTimer::singleShot(200, window.get(), [&] {
        QProgressDialog *dialog = visibleProgressDialog();
        if (!dialog)
            return;
        seen = {true, dialog->isVisible(), dialog->windowModality(), dialog->parentWidget(),
                dialog->windowTitle(), dialog->labelText(), dialog->value(), dialog->minimum(),
                dialog->maximum(), ModalWatcher::button(dialog, "Stop") != nullptr};
    });
    QCOMPARE(run(script), ScriptRunner::Finished);

    QVERIFY(seen.found);
    QCOMPARE(seen.modality, Qt::WindowModal);
    QCOMPARE(seen.parent, window.get());
    QCOMPARE(seen.title, QStringLiteral("Automotive test..."));
    QCOMPARE(seen.minimum, 0);
    QCOMPARE(seen.maximum, 100);
    QVERIFY(seen.stopButton);
    QCOMPARE(seen.value, value);
    QCOMPARE(seen.label, label);
    // The dialog goes with the run.
    QVERIFY(progressDialogs().isEmpty());
    controlFramesSent();
}

void TestScriptRunner::syntaxError_data()
{
    QTest::addColumn<QByteArray>("badLine");

    QTest::newRow("directive without at sign") << QByteArray("Button [MENU]");
    QTest::newRow("bare key name") << QByteArray("MENU");
    QTest::newRow("binary garbage") << QByteArray("\x01\x02\xff\xfe\x00 junk \x7f", 12);
    QTest::newRow("at sign not first") << QByteArray("x@Button [MENU]");
}

void TestScriptRunner::syntaxError()
{
    QFETCH(QByteArray, badLine);

    const QString script = writeScript("@Monitor [3]\n@Button [MENU]\n" + badLine
                                       + "\n@Button [DOWN]\n@Idle [2000]\n");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(run(script), ScriptRunner::SyntaxError);
    QVERIFY(clock.elapsed() < 2000);

    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QString());
    QCOMPARE(boxes.first().text, QStringLiteral("Syntax error"));
    QCOMPARE(boxes.first().icon, QMessageBox::Warning);
    QCOMPARE(boxes.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(boxes.first().progressVisible);
    QVERIFY(progressDialogs().isEmpty());
    // What was queued before the bad line still goes out, nothing after it.
    QCOMPARE(hex(controlFramesSent()), QStringList({"83d00090"}));
}

void TestScriptRunner::stopEndsTheRunAfterTheWait()
{
    // Nobody answers at 20 to 25: every press there costs a time-out and a
    // pause, so the queue outlasts the run.
    const QString script = writeScript("@Monitor [20 21 22 23 24 25]\n@Button [MENU]\n"
                                       "@Button [UP]\n@Idle [600]\n@Button [DOWN]\n");
    QElapsedTimer clock;
    clock.start();
    qint64 stoppedAt = -1;
    QTimer::singleShot(150, window.get(), [&] {
        QProgressDialog *dialog = visibleProgressDialog();
        if (dialog && ModalWatcher::click(dialog, "Stop"))
            stoppedAt = clock.elapsed();
    });
    const ScriptRunner::Outcome outcome = run(script);
    const qint64 took = clock.elapsed();
    const int sentAtEnd = controlFramesInTrace().size();

    QCOMPARE(outcome, ScriptRunner::Stopped);
    QVERIFY2(stoppedAt >= 0 && stoppedAt < 600, qPrintable(QString::number(stoppedAt)));
    // "Stop" waits for the wait.
    QVERIFY2(took >= 600 && took < 3000, qPrintable(QString::number(took)));
    QVERIFY(progressDialogs().isEmpty());
    QVERIFY2(sentAtEnd < 12, qPrintable(QString::number(sentAtEnd)));

    QStringList expected;
    for (const QString &key : QStringList({"90", "91"})) {
        for (const QString &sync : QStringList({"94", "95", "96", "97", "98", "99"}))
            expected << sync + "d000" + key;
    }
    QCOMPARE(hex(controlFramesSent()), expected);
    QCOMPARE(boxes.size(), 0);
}

void TestScriptRunner::queuedCommandsOutliveTheRun()
{
    const QString script = writeScript("@Monitor [20 21 22 23]\n@Button [MENU]\n");
    QCOMPARE(run(script), ScriptRunner::Finished);
    // The runner only queues: most of it is still waiting when it returns.
    QVERIFY(controlFramesInTrace().size() < 4);
    QCOMPARE(hex(controlFramesSent()),
             QStringList({"94d00090", "95d00090", "96d00090", "97d00090"}));
}

void TestScriptRunner::longScript()
{
    // Past the dialog's maximum of 100 lines the run goes on to the end.
    QByteArray text;
    for (int i = 0; i < 250; ++i) {
        if (i == 120)
            text += "@Monitor [4]\n";
        else if (i == 180)
            text += "@Idle [30]\n";
        else if (i == 230)
            text += "@Button [F5]\n";
        else
            text += "# line " + QByteArray::number(i) + "\n";
    }
    QCOMPARE(run(writeScript(text)), ScriptRunner::Finished);
    QCOMPARE(hex(controlFramesSent()), QStringList({"84d0008c"}));
    QCOMPARE(boxes.size(), 0);
    QVERIFY(progressDialogs().isEmpty());
}

void TestScriptRunner::openFailure_data()
{
    QTest::addColumn<QString>("name"); // in the working directory

    QTest::newRow("no such file") << "no-such-script.txt";
    QTest::newRow("a directory") << "scripts.d";
}

void TestScriptRunner::openFailure()
{
    QFETCH(QString, name);

    QVERIFY(QDir(f->dir.path()).mkpath("scripts.d"));
    const QString path = f->dir.filePath(name);
    QCOMPARE(run(path, {3}), ScriptRunner::OpenFailed);

    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QString());
    QCOMPARE(boxes.first().text, QStringLiteral("Open file %1 failed").arg(path));
    QCOMPARE(boxes.first().icon, QMessageBox::Warning);
    QCOMPARE(boxes.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!boxes.first().progressVisible);
    QVERIFY(progressDialogs().isEmpty());
    QVERIFY(controlFramesSent().isEmpty());
}


void TestScriptRunner::shippedExamples_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("targets");
    QTest::newRow("walk-menu") << "walk-menu.txt" << 1;
    QTest::newRow("switch-inputs") << "switch-inputs.txt" << 3;
}

// The examples in the README run to their end against the bus and press
// every key they name on every monitor they name.
void TestScriptRunner::shippedExamples()
{
    QFETCH(QString, file);
    QFETCH(int, targets);
    const QString path = QStringLiteral(KC_EXAMPLES_DIR "/") + file;
    QFile script(path);
    QVERIFY2(script.open(QIODevice::ReadOnly), qPrintable(path));
    const int buttons = QString::fromUtf8(script.readAll()).count(QStringLiteral("\n@Button ["));

    // Paced like a real line, so that the polls of a long run do not push
    // its key presses out of the bounded trace.
    f->bus.setBaud(9600);
    const ScriptRunner::Outcome outcome = run(path);
    const int sent = controlFramesSent().size();
    f->bus.setBaud(0);
    QCOMPARE(outcome, ScriptRunner::Finished);
    QCOMPARE(boxes.size(), 0);
    QCOMPARE(sent, buttons * targets);
}

QTEST_MAIN(TestScriptRunner)
#include "tst_scriptrunner.moc"
