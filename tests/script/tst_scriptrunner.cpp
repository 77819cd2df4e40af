// The test script runner against a real supervisor on the simulated bus:
// what reaches the bus, when, and what the operator sees.
#include "protocol/controlkeys.h"
#include "script/scriptrunner.h"
#include "tests/support/modalwatcher.h"
#include "tests/support/supervisionfixture.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// Answers every control frame at once, so a run's commands leave quickly;
// no script below names it.
constexpr quint8 SentinelAddress = 100;
const QByteArray sentinelFrame = "e4d00093"; // ENTER to 100

QProgressDialog *progressDialog(bool visibleOnly = true)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QProgressDialog *>(window);
        if (dialog && (dialog->isVisible() || !visibleOnly))
            return dialog;
    }
    return nullptr;
}

} // namespace

class TestScriptRunner : public QObject
{
    Q_OBJECT

    SupervisionFixture f;
    QWidget window;
    QStringList boxes;
    QList<qint64> frameTimes; // ms, of the frames controlFrames() listed
    int scripts = 0;
    // Every message box is recorded and answered, so that a run that shows
    // one where it should not fails instead of hanging: its title and text,
    // whether it is a warning with only OK, and whether the run's dialog was
    // still up.
    ModalWatcher boxWatcher{[this](QWidget *shown) {
        auto *box = qobject_cast<QMessageBox *>(shown);
        if (!box)
            return false;
        const bool warning = box->icon() == QMessageBox::Warning && box->standardButtons() == QMessageBox::Ok;
        boxes << box->windowTitle() + '|' + box->text() + (warning ? "|warning" : "|other")
                     + (progressDialog() ? "|during" : "|after");
        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
        return true;
    }};

    // Runs the script text, or with a null text the file name.
    ScriptRunner::Outcome run(const QByteArray &text, const QList<quint8> &selection = {}, QString name = {})
    {
        if (name.isEmpty()) {
            QFile file(name = f.dir.filePath(QStringLiteral("script%1.txt").arg(++scripts)));
            if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
                qFatal("cannot write %s", qPrintable(name));
        }
        return ScriptRunner(&window, f.controller.get()).run(name, selection);
    }
    // Control frames in the trace, in hex; with drain, once all that is
    // queued now has left (the sentinel itself not listed).
    QStringList controlFrames(bool drain = true)
    {
        // The queue is served in order: once the sentinel is out, so is
        // everything queued before it.
        if (drain)
            f.controller->sendControl(ControlKeys::MenuEnter, SentinelAddress);
        QStringList frames;
        const bool drained = QTest::qWaitFor([&] {
            frames.clear();
            frameTimes.clear();
            for (const SimTraceEntry &entry : f.bus.trace()) {
                if (entry.kind != SimTraceEntry::Request || entry.bytes.size() != 4
                    || quint8(entry.bytes.at(1)) != 0xD0)
                    continue;
                if (entry.bytes.toHex() == sentinelFrame)
                    return true;
                frames << QString::fromLatin1(entry.bytes.toHex());
                frameTimes << std::chrono::duration_cast<std::chrono::milliseconds>(
                                  entry.start.time_since_epoch()).count();
            }
            return !drain;
        }, 15000);
        return drained ? frames : QStringList{"the queue did not drain"};
    }

private slots:
    void initTestCase()
    {
        for (const int address : {3, 4, 5, 7, 9, 44, int(SentinelAddress)})
            QVERIFY(f.bus.addMonitor(address));
        f.writeSettings(QString(), 20);
        f.createController();
        QVERIFY(f.searchUpTo(9));
        QCOMPARE(f.controller->monitorCount(), 5);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    void init()
    {
        boxes.clear();
        f.bus.clearTrace();
    }

    void directives_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QList<quint8>>("selection");
        QTest::addColumn<QString>("frames"); // sync, 0xD0, 0, key code
        QTest::addColumn<int>("outcome");
        const auto row = [](const char *name, const QByteArray &script, QList<quint8> selection,
                            const char *frames, int outcome = ScriptRunner::Finished) {
            QTest::newRow(name) << script << selection << QString(frames) << outcome;
        };
        row("each press to each target in list order", "@Monitor [3 5]\n@Button [MENU]\n@Button [DOWN]\n",
            {}, "83d00090 85d00090 83d00092 85d00092");
        row("Monitor appends, selection unused",
            "@Monitor [3]\n@Button [F1]\n@Monitor [4]\n@Button [F2]\n", {9}, "83d00088 83d00089 84d00089");
        row("selection when no Monitor came first, later Monitor appends",
            "@Button [F1]\n@Monitor [9]\n@Button [F2]\n", {5, 7},
            "85d00088 87d00088 85d00089 87d00089 89d00089");
        row("nothing selected: presses go nowhere, the run goes on",
            "@Button [MENU]\n@Monitor [4]\n@Button [UP]\n", {}, "84d00091");
        row("low 8 bits of an address, non-numbers skipped",
            "@Monitor [300 x -4 5.0 0x5 99999999999]\n@Button [ON]\n", {}, "acd000ff");
        row("white space, comments, blank lines, CR LF, no last line end",
            "# header\r\n\r\n  @  Monitor   [  3 \t   5  ]  \r\n\t# @Button [MENU]\n\t@Button[   PUSH4 ]\n"
            "@Button [CVBS]", {}, "83d0009b 85d0009b 83d00083 85d00083");
        // Between a target and a press that must still go.
        row("ignored lines", "@Monitor [3]\n@Button MENU\n@Button [menu]\n@Button [MENU\n@Button MENU]\n"
            "@Button [MENU DOWN]\n@Button []\n@Button [F6]\n@Reset [3]\n@monitor [5]\n@Monitor 5\n"
            "@Monitor [5\n@\n@ [5]\n@button [MENU]\n@BUTTON [MENU]\n@Button [DOWN]\n", {}, "83d00092");
        row("past the dialog's maximum of 100 lines",
            QByteArray("@Monitor [4]\n" + QByteArray("# line\n").repeated(150) + "@Button [F5]\n"), {},
            "84d0008c");
        // Each names at least a second to a careless reader, and none waits.
        row("idle lines that do not wait", "@Monitor [4]\n@Idle [-5]\n@Idle [-2147483648]\n@Idle [1s]\n"
            "@Idle [10 00]\n@Idle [99999999999]\n@Idle [abc]\n@Idle 1000\n@idle [1000]\n@Button [ENTER]\n",
            {}, "84d00093");
        // What was queued before the bad line still goes out, nothing after it.
        for (const char *bad : {"Button [MENU]", "x@Button [MENU]"})
            row(bad, "@Monitor [3]\n@Button [MENU]\n" + QByteArray(bad) + "\n@Button [DOWN]\n@Idle [2000]\n", {},
                "83d00090", ScriptRunner::SyntaxError);

        // Files that are no proper scripts: none hangs the window, and junk
        // is a syntax error like any other line that is no directive.
        const QByteArray nul(1, '\0');
        row("empty file", "", {3}, "");
        row("one line, no line end", "@Button [MENU]", {3}, "83d00090");
        row("NUL in a directive: not enclosed, ignored",
            "@Monitor [3]\n@Button [MENU]" + nul + "\n@Button [UP" + nul + "]\n@Button [DOWN]\n", {}, "83d00092");
        row("a line of NUL bytes", "@Monitor [3]\n@Button [MENU]\n" + nul.repeated(3) + "\n@Button [DOWN]\n", {},
            "83d00090", ScriptRunner::SyntaxError);
        QByteArray junk(4096, '\0');
        QRandomGenerator random(10);
        for (char &byte : junk)
            byte = char(random.bounded(256));
        row("binary junk", "@Monitor [3]\n@Button [MENU]\n\x01" + junk + "\n@Button [DOWN]\n", {}, "83d00090",
            ScriptRunner::SyntaxError);
        // As an editor saves "Unicode" text: the byte order mark tells.
        const QString utf16 = QStringLiteral("\uFEFF@Monitor [3]\r\n@Button [MENU]\r\n@Button [DOWN]");
        row("UTF-16 with byte order mark",
            QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2), {}, "83d00090 83d00092");
        const QByteArray mega(1 << 20, ' ');
        row("1 MB lines: a comment, a press, a bad line",
            "@Monitor [3]\n#" + mega + "\n@Button [" + mega + "MENU" + mega + "]\n" + mega + "x\n@Button [UP]\n",
            {}, "83d00090", ScriptRunner::SyntaxError);
    }

    void directives()
    {
        QFETCH(QByteArray, script);
        QFETCH(QList<quint8>, selection);
        QElapsedTimer clock;
        clock.start();
        const ScriptRunner::Outcome outcome = run(script, selection);
        // Megabyte lines may take a few seconds in a sanitizer build; a
        // label laid out over the whole line once took half a minute.
        const qint64 limitMs = script.size() > 100000 ? 8000 : 800;
        QVERIFY2(clock.elapsed() < limitMs, qPrintable(QString::number(clock.elapsed())));
        QTEST(int(outcome), "outcome");
        QTEST(controlFrames().join(' '), "frames");
        QCOMPARE(boxes, outcome ? QStringList{"|Syntax error|warning|during"} : QStringList());
        QVERIFY(!progressDialog(false));
    }

    void exampleWaitsBetweenPresses()
    {
        // Sampled while the script waits: the event loop runs, and the modal
        // dialog shows the last press and counts every line read.
        QElapsedTimer clock;
        clock.start();
        qint64 tickedAt = -1;
        QString seen;
        QTimer::singleShot(100, &window, [&] {
            tickedAt = clock.elapsed();
            const QProgressDialog *d = progressDialog();
            if (d && d->windowModality() == Qt::WindowModal && d->parentWidget() == &window)
                seen = d->labelText() + '|' + QString::number(d->value());
        });
        QCOMPARE(run("# example\n\n@Monitor [3 5]\n@Button [MENU]\n@Idle [500]\n@Button [DOWN]\n"),
                 ScriptRunner::Finished);
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= 500 && took < 3000, qPrintable(QString::number(took)));
        QVERIFY2(tickedAt >= 0 && tickedAt < 500, qPrintable(QString::number(tickedAt)));
        QCOMPARE(seen, QStringLiteral("Button [MENU]|4"));
        QVERIFY(!progressDialog(false)); // the dialog goes with the run
        QCOMPARE(controlFrames(), QStringList({"83d00090", "85d00090", "83d00092", "85d00092"}));
        const qint64 gap = frameTimes.at(2) - frameTimes.at(1); // the wait separates the presses
        QVERIFY2(gap >= 450, qPrintable(QString::number(gap)));
    }

    void stopEndsTheRunAfterTheWait_data()
    {
        QTest::addColumn<QByteArray>("lead"); // lines before the presses
        QTest::addColumn<QString>("how");
        QTest::newRow("Stop") << QByteArray() << "Stop";
        QTest::newRow("Escape") << QByteArray() << "Escape";
        QTest::newRow("closing the dialog") << QByteArray() << "close";
        // The dialog's maximum is 100: reaching it must not take "Stop" away.
        QTest::newRow("Stop past line 100") << QByteArray("# line\n").repeated(150) << "Stop";
    }
    void stopEndsTheRunAfterTheWait()
    {
        QFETCH(QByteArray, lead);
        QFETCH(QString, how);
        // Nobody answers at 20 to 25: every press there costs a time-out and a
        // pause, so the queue outlasts the run, and must still all go out.
        QElapsedTimer clock;
        clock.start();
        qint64 stoppedAt = -1;
        QString afterStop;
        QTimer::singleShot(150, &window, [&] {
            QProgressDialog *dialog = progressDialog();
            if (dialog && how == "Escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else if (dialog && how == "close")
                dialog->close();
            else if (!dialog || !ModalWatcher::click(dialog, "Stop"))
                return;
            stoppedAt = clock.elapsed();
        });
        // Still in the wait: the dialog stays and keeps the window blocked, so
        // that no second run can start.
        QTimer::singleShot(300, &window, [&] {
            QProgressDialog *dialog = progressDialog();
            afterStop = dialog && QApplication::activeModalWidget() == dialog ? "blocking" : "gone";
        });
        QCOMPARE(run(lead + "@Monitor [20 21 22 23 24 25]\n@Button [MENU]\n@Button [UP]\n@Idle [600]\n"
                            "@Button [DOWN]\n"),
                 ScriptRunner::Stopped);
        const qint64 took = clock.elapsed(); // "Stop" waits for the wait
        const qsizetype sentAtEnd = controlFrames(false).size();
        QVERIFY2(stoppedAt >= 0 && stoppedAt < 600 && took >= 600 && took < 3000,
                 qPrintable(QStringLiteral("stopped at %1 ms, ended at %2 ms").arg(stoppedAt).arg(took)));
        QCOMPARE(afterStop, QStringLiteral("blocking"));
        QVERIFY(!progressDialog(false));
        QVERIFY2(sentAtEnd < 12, qPrintable(QString::number(sentAtEnd)));
        QCOMPARE(controlFrames().join(' '), "94d00090 95d00090 96d00090 97d00090 98d00090 99d00090 "
                                            "94d00091 95d00091 96d00091 97d00091 98d00091 99d00091");
        QCOMPARE(boxes, QStringList());
    }

    void openFailure_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "no-such-script.txt";
        QTest::newRow("a directory") << "scripts";
    }
    void openFailure()
    {
        QFETCH(QString, name);
        const QString path = f.dir.filePath(name);
        QVERIFY(name != "scripts" || QDir().mkpath(path));
        QCOMPARE(run({}, {3}, path), ScriptRunner::OpenFailed);
        QCOMPARE(boxes, QStringList({QStringLiteral("|Open file %1 failed|warning|after").arg(path)}));
        QVERIFY(!progressDialog(false));
        QCOMPARE(controlFrames(), QStringList());
    }

    // The examples in the README run to their end against the bus and press
    // every key they name on every monitor they name.
    void shippedExamples()
    {
        for (const auto &[file, targets] : {std::pair("walk-menu.txt", 1), std::pair("switch-inputs.txt", 3)}) {
            QFile script(QStringLiteral(KC_EXAMPLES_DIR "/") + file);
            QVERIFY(script.open(QIODevice::ReadOnly));
            const qsizetype buttons = QString::fromUtf8(script.readAll()).count(QStringLiteral("\n@Button ["));
            // Paced like a real line, so that the polls of a long run do not push
            // its key presses out of the bounded trace.
            f.bus.setBaud(9600);
            f.bus.clearTrace();
            QCOMPARE(run({}, {}, script.fileName()), ScriptRunner::Finished);
            const qsizetype sent = controlFrames().size();
            f.bus.setBaud(0);
            QCOMPARE(boxes, QStringList());
            QVERIFY2(sent == buttons * targets, file);
        }
    }
};

QTEST_MAIN(TestScriptRunner)
#include "tst_scriptrunner.moc"
