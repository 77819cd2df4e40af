// The simulated bus as a controller and an operator meet it: request frames
// cut from the pseudo-terminal's byte stream, replies, the trace of skipped
// bytes, faults, vanishing, line silence, the command language, wire time.
#include "tests/support/ptyclient.h"
#include "tools/sim/simbus.h"

#include <QtTest>

#include <ctime>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

class TestSimLine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void story_data();
    void story();
    void portClosedBetweenSessions();
    void randomLinesAnswered();
    void pacing_data();
    void pacing();

private:
    // A story, one step at a time; a failed step ends it:
    //   "! LINE"          a command the bus takes
    //   "! LINE => TEXT"  a command it refuses, saying TEXT
    //   "~ TEXT"          a line the bus prints that contains TEXT
    //   "REQ = REPLY"     written and answered (hex); "= -" no answer at all,
    //                     "= N* REPLY" N stray bytes first, none with bit 7 set
    void tell(const QStringList &steps);
    void command(const QString &line);
    void openDevice();
    void expectPrinted(const QString &text);
    void exchange(const QString &step);

    PtyClient m_client;
    QString m_device; // the one the client opened
    std::mutex m_mutex; // the bus prints from its own thread
    QStringList m_printed;
    std::unique_ptr<SimBus> m_bus; // last, so that it stops before what it prints into goes
};

void TestSimLine::init()
{
    m_bus = std::make_unique<SimBus>(); // the previous test's bus stops here
    m_printed.clear();
    m_bus->setMessageHandler([this](const QString &line) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_printed << line;
    });
    QString error;
    QVERIFY2(m_bus->start(&error), qPrintable(error));
    openDevice();
}

void TestSimLine::tell(const QStringList &steps)
{
    for (const QString &s : steps) {
        if (s.startsWith(QLatin1Char('!')))
            command(s.mid(1).trimmed());
        else if (s.startsWith(QLatin1Char('~')))
            expectPrinted(s.mid(1).trimmed());
        else
            exchange(s);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestSimLine::command(const QString &line)
{
    const QString refusal = line.section(QStringLiteral(" => "), 1);
    QString error;
    const bool taken = m_bus->command(line.section(QStringLiteral(" => "), 0, 0), &error);
    QVERIFY2(taken == refusal.isEmpty() && error.contains(refusal), qPrintable(line + QStringLiteral(": ") + error));
    if (taken && line.startsWith(QLatin1String("vanish")))
        m_client.close(); // as a controller does on the hang-up, freeing the node
    if (taken && line.startsWith(QLatin1String("reappear"))) {
        QVERIFY2(!line.contains(QLatin1String("newnode")) || m_bus->devicePath() != m_device, qPrintable(m_device));
        openDevice();
    }
}

void TestSimLine::openDevice()
{
    m_device = m_bus->devicePath();
    QVERIFY2(m_client.open(m_device), qPrintable(m_device));
}

void TestSimLine::expectPrinted(const QString &text)
{
    const QRegularExpression line(QStringLiteral(".*") + QRegularExpression::escape(text) + QStringLiteral(".*"));
    auto find = [&] {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_printed.indexOf(line);
    };
    QTRY_VERIFY2(find() >= 0, qPrintable(QStringLiteral("nothing printed with: ") + text));
    // Lines are used up to the one found, so that the next must be newer.
    const qsizetype at = find();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_printed.remove(0, at + 1);
}

void TestSimLine::exchange(const QString &step)
{
    const QStringList sides = step.split(QRegularExpression(QStringLiteral("\\s*[=*]\\s*")));
    const int stray = sides.size() > 2 ? sides.at(1).toInt() : 0;
    const QByteArray expected = hexToBytes(sides.last()); // "-" has no hex digits
    QVERIFY(m_client.write(hexToBytes(sides.at(0))));
    // Silence cannot be waited for: 150 ms of it stand for ever.
    QByteArray got = m_client.read(expected.isEmpty() ? 4096 : stray + int(expected.size()), expected.isEmpty() ? 150 : 500);
    got += m_client.read(4096, 20); // nothing may trail the reply
    for (int i = 0; i < stray && i < got.size(); ++i)
        QVERIFY2(!(got.at(i) & 0x80), qPrintable(step + QStringLiteral(": a stray byte with bit 7 set")));
    QVERIFY2(got.mid(stray) == expected, qPrintable(step + QStringLiteral(" got ") + QString::fromLatin1(got.toHex(' '))));
}

void TestSimLine::story_data()
{
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("every request, byte-exact") << QStringList{
        "! add 5 sn=ABCDEFGHIJKL version=2.14 input=7 mode=19 rotary=-10,5,0,127,-128 functions=0x00010203 "
        "timecode=10:00:00:00 boards=1205", "! add 126",
        "85 80 = 85 07", "85 81 = 85 07", "FE 80 = FE 07", "85 90 02 04 = 85 02 41 42 43 44",
        "85 90 02 0E = 85 02 41 42 43 44 45 46 47 48 49 4A 4B 4C 00 00", "85 90 0C 04 = 85 0C 32 2E 31 34",
        "85 90 12 02 = 85 12 07 13", "85 90 14 05 = 85 14 F6 05 00 7F 80", "85 90 19 04 = 85 19 00 01 02 03",
        "85 90 30 0B = 85 30 31 30 3A 30 30 3A 30 30 3A 30 30", "85 90 3E 03 = 85 3E 12 05 00",
        "85 90 55 03 = 85 55 00 00 00", "85 D0 00 90 = 85 00", "85 82 = 85 00", "85 83 = 85 01 3F", "85 80 = 85 01"};
    // Only a byte with bit 7 set and a known command after it starts a
    // frame; data bytes never do, and a frame torn by a pause is given up.
    QTest::newRow("framing and garbage") << QStringList{
        "! add 5", "! trace on", "00 12 85 80 = 85 07", "~ ? 00 12  # skipped", "~ > 85 80  # echo 5", "~ < 85 07",
        "85 85 42 85 81 = 85 07", "~ ? 85 85 42  # skipped", "~ > 85 81  # proto 5",
        "91 A7 05 85 82 = 85 00", "~ ? 91 A7 05  # skipped",
        "89 90 85 80 85 80 = 85 05", "~ > 89 90 85 80  # query 9 item 0x85 length 128",
        "89 33 85 80 85 80 85 80 85 80 85 80 85 80 85 80 85 80 = -", "~ > 89 33 85 80",
        "85 D0 00 = -", "85 83 = 85 01 3F", "~ ? 85 D0 00  # skipped", "~ > 85 83  # update 5",
        "! status", "~ requests=7 replies=5"};
    QTest::newRow("update report") << QStringList{
        "! add 5", "85 83 = 85 01 3F", "85 83 = 85 00 00", "! set 5 sn KV9", "! set 5 version 3.0", "85 80 = 85 07",
        "85 83 = 85 01 03", "! set 5 rotary 3 -2", "! set 5 functions 7", "! set 5 boards 11", "85 83 = 85 01 38",
        "! set 5 input 8", "! set 5 mode 33", "85 83 = 85 01 04", "85 90 12 02 = 85 12 08 21",
        "! set 5 timecode 01:02:03:04", "85 83 = 85 00 00", "85 90 30 04 = 85 30 30 31 3A 30"};
    QTest::newRow("keys") << QStringList{
        "! add 5 input=1 mode=2 rotary=126,0,-127,0,0 functions=0x100", "85 82 = 85 00", "85 83 = 85 01 3F",
        "85 D0 00 80 = 85 00", "85 80 = 85 05", "85 83 = 85 01 04", "85 90 12 02 = 85 12 06 02",
        "85 D0 00 81 = 85 00", "85 90 12 01 = 85 12 07", "85 D0 00 82 = 85 00", "85 90 12 01 = 85 12 05",
        "85 D0 00 83 = 85 00", "85 90 12 01 = 85 12 00", "85 D0 00 84 = 85 00", "85 90 12 01 = 85 12 08",
        "85 83 = 85 01 04", "85 D0 00 84 = 85 00", "85 80 = 85 05", "85 83 = 85 01 04",
        "85 D0 00 A0 = 85 00", "85 D0 00 A0 = 85 00", "85 D0 00 AA = 85 00", "85 D0 00 AA = 85 00", "! key 5 CW2",
        "85 D0 00 88 = 85 00", "85 D0 00 8C = 85 00", "85 83 = 85 01 18", "85 90 14 03 = 85 14 7F 01 80",
        "85 90 19 04 = 85 19 00 00 01 11", "85 D0 00 90 = 85 00", "85 D0 00 9C = 85 00", "85 83 = 85 00 00",
        "85 D0 00 FE = 85 00", "85 D0 00 A1 = 85 00", "85 80 = 85 00", "85 90 14 02 = 85 14 7F 01",
        "85 D0 00 FF = 85 00", "85 80 = 85 07"};
    QTest::newRow("noise, never a sync byte") << QStringList{
        "! add 5", "! fault 5 noise", "85 80 = 3* 85 07", "! fault 5 noise 7", "85 82 = 7* 85 00"};
    QTest::newRow("wrong item") << QStringList{
        "! add 5", "! fault 5 wrongitem", "85 90 12 02 = 85 13 06 09", "85 90 02 03 = 85 03 4B 56 30"};
    QTest::newRow("dies after polls") << QStringList{"! add 5", "! fault 5 dies-after 2 polls", "85 80 = 85 07",
        "85 90 12 01 = 85 12 06", "85 80 = 85 07", "85 80 = -", "85 90 12 01 = -", "! fault 5 none", "85 80 = 85 07"};
    QTest::newRow("dies after a time") << QStringList{
        "! add 5", "! fault 5 dies-after 100ms", "85 80 = 85 07", "86 80 = -", "85 80 = -", "! status 5", "~ (dead)"};
    // The late reply heard before the cut is lost with the line; nothing said
    // meanwhile is heard, or the queries would have cleared the flags.
    QTest::newRow("line silence") << QStringList{
        "! add 5,6", "! fault 6 late 300", "86 80 = -", "! silence all", "85 82 = -", "85 83 = -", "! add 7",
        "87 80 = -", "! status", "~ requests=4 replies=0 line=silent", "! silence none", "85 80 = 85 07",
        "87 80 = 87 07", "86 80 = 86 07"};
    QTest::newRow("vanish and reappear") << QStringList{
        "! add 5", "85 82 = 85 00", "! vanish", "~ device gone", "! vanish => no device to vanish",
        "! status", "~ bus (vanished)", "! reappear", "~ device /dev/pts/", "85 80 = 85 05", "! vanish",
        "! reappear newnode", "85 83 = 85 01 3F", "! reappear => the device has not vanished"};

    QTest::newRow("unknown verb") << QStringList{"! frob 5 => unknown command 'frob'"};
    QTest::newRow("bad address") << QStringList{"! add 0 => bad address '0'", "! add 127 => bad address '127'"};
    QTest::newRow("bad range") << QStringList{"! add 6-3 => '6-3'", "! remove => missing argument"};
    QTest::newRow("power word") << QStringList{"! power 5 maybe => power must be on or off"};
    QTest::newRow("add field") << QStringList{"! add 5 colour=red => unknown field 'colour'", "! add 5 sn => expected key=value"};
    QTest::newRow("add rotary") << QStringList{"! add 5 rotary=1,2,3 => five levels"};
    QTest::newRow("alarm range") << QStringList{"! alarm 5 0x100 => bad alarm byte '0x100'"};
    QTest::newRow("set item") << QStringList{"! set 5 colour 3 => unknown item 'colour'", "! set 5 sn => set sn needs a value"};
    QTest::newRow("set rotary") << QStringList{"! set 5 rotary 6 1 => bad rotary number '6'"};
    QTest::newRow("open quote") << QStringList{"! set 5 sn \"open => unterminated quote"};
    QTest::newRow("unknown key") << QStringList{"! key 5 TURBO => unknown key 'TURBO'"};
    QTest::newRow("fault kind") << QStringList{"! fault 5 explode => unknown fault 'explode'"};
    QTest::newRow("fault value") << QStringList{"! fault 5 noise 0 => bad noise value '0'", "! fault 5 silence 3 => takes no argument"};
    QTest::newRow("dies without unit") << QStringList{"! fault 5 dies-after 20 => dies-after needs a time or a poll count"};
    QTest::newRow("times") << QStringList{"! wait soon => bad time 'soon'", "! turnaround 11s => bad turnaround '11s'"};
    QTest::newRow("baud") << QStringList{"! baud 10 => bad baud rate '10'", "! baud 99999999999999999999 => bad baud rate"};
    QTest::newRow("line words") << QStringList{"! trace loud => trace must be on or off", "! silence 5 => silence takes all or none, not '5'",
        "! vanish now => too many arguments", "! reappear soon => reappear takes nothing or newnode, not 'soon'"};
    QTest::newRow("refused by the bus") << QStringList{"! wait 10 => only works in scenario files",
        "! power 9 on => no monitor at address 9", "! status 9 => no monitor at address 9"};
    // Every named address is checked before any monitor changes.
    QTest::newRow("a bad line changes nothing") << QStringList{
        "! add 5,7 power=off", "! power 5,6,7 on => no monitor at address 6", "85 80 = 85 00", "87 80 = 87 00",
        "! add 8-10,7 => address 7 already has a monitor", "88 80 = -", "! power all on", "85 80 = 85 07",
        "87 80 = 87 07", "! remove all", "85 80 = -", "! fault all silence", "!    # only a comment"};
    QTest::newRow("addresses, words and numbers") << QStringList{
        "! add 0x10,3-4,2-3,3", "90 80 = 90 07", "83 80 = 83 07", "84 80 = 84 07", "82 80 = 82 07",
        "! set 3 sn \"#1 A\"  # a comment", "83 90 02 05 = 83 02 23 31 20 41 00", "! set 4 sn \"\"",
        "84 90 02 02 = 84 02 00 00", "! alarm 3,4 0x1F", "83 82 = 83 1F", "! fault 16 late 50ms", "90 80 = 90 07"};
    QTest::newRow("add fields") << QStringList{"! add 7 power=off alarm=0x10 sn=\"AB 12\" boards=0102", "! add 8",
        "87 80 = 87 02", "87 82 = 87 10", "87 90 02 05 = 87 02 41 42 20 31 32", "87 90 3E 03 = 87 3E 01 02 00",
        "88 80 = 88 07", "88 83 = 88 01 3F", "88 90 02 06 = 88 02 4B 56 30 30 30 38"};
    QTest::newRow("status") << QStringList{
        "! add 3 alarm=0x08 sn=KV10A003", "! add 4 power=off", "! fault 4 late 900", "! fault 3 dies-after 2s",
        "83 80 = 83 07", "! status", "~ baud=0 turnaround=0ms monitors=2 requests=1 replies=1",
        "~   3 on  alarm=0x08 due=alarm,update changed=0x3f sn=KV10A003 version=1.20 input=6 mode=9 "
        "rotary=0,0,0,0,0 functions=0x00000000 boards=12053011100221001107 timecode=00:00:00:00 "
        "fault=\"dies-after 2s\" requests=1",
        "~   4 off alarm=0x00 due=- changed=0x00 sn=KV0004", "! baud 9600", "! turnaround 10", "! status 4",
        "~ baud=9600 turnaround=10ms", "~ fault=\"late 900\" requests=0"};
    QTest::newRow("umd text and tally") << QStringList{
        "! add 5", "85 33 43 41 4D 20 31 20 20 20 43 41 4D 20 31 20 20 20 = -", "85 80 = 85 07", "! status 5",
        "~ umd=\"CAM 1   \" tally=red+green", "85 32 43 41 4D 20 32 20 20 20 43 41 4D 20 32 20 20 20 = -",
        "! status", "~ umd=\"CAM 2   \" tally=green"};
    // Each exchange hands over two reply bytes; a report starts the next
    // measurement.
    QTest::newRow("pacing report") << QStringList{"! add 5", "! baud 115200", "85 80 = 85 07", "85 80 = 85 07",
        "! pacing", "~ pacing baud=115200 handovers=4 late_us median=", "! pacing", "~ pacing baud=115200 handovers=0",
        "85 80 = 85 07", "! pacing", "~ byte_gap_us median=", "! pacing pacing => too many arguments"};
    QTest::newRow("help, and quit with no handler") << QStringList{"! help", "~ silence all|none", "! quit", "! status", "~ bus (stopped)"};
}

void TestSimLine::story()
{
    QFETCH(QStringList, steps);
    tell(steps);
}

void TestSimLine::portClosedBetweenSessions()
{
    // The controller closes its port between sessions: the bus must neither
    // notice nor spin meanwhile.
    tell({"! add 5", "85 80 = 85 07"});
    m_client.close();
    const std::clock_t cpuBefore = std::clock();
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // long enough for a spinning thread to show
    const double cpuMs = double(std::clock() - cpuBefore) * 1000.0 / CLOCKS_PER_SEC;
    QVERIFY2(cpuMs < 30, qPrintable(QStringLiteral("%1 ms CPU while closed").arg(cpuMs)));
    openDevice();
    tell({"85 80 = 85 07"});
}

void TestSimLine::randomLinesAnswered()
{
    // Lines of random words: each is taken, or refused with a reason.
    const QStringList words{"add", "set", "power", "fault", "key", "alarm", "5", "all", "0x", "-", "sn", "rotary",
                            "\"", "#", "=", "on", "dies-after", "99999999999", "1-126", "late", "split", "wait",
                            "status", "\xff", "ccw5", "boards", "5,5", "silence", "none", "reappear", "newnode"};
    std::mt19937 random(12345);
    int refused = 0;
    for (int i = 0; i < 3000; ++i) {
        QString line, error;
        for (int w = int(random() % 6); w > 0; --w)
            line += words.at(int(random() % words.size())) + ((random() % 4) ? QStringLiteral(" ") : QString());
        const bool taken = m_bus->command(line, &error);
        QVERIFY2(taken || !error.isEmpty(), qPrintable(line));
        refused += !taken;
    }
    QVERIFY(refused > 100);
}

void TestSimLine::pacing_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("turnaroundMs");
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("replyLength");
    QTest::addColumn<int>("exchanges");
    QTest::addColumn<double>("slack"); // allowed excess over the wire time: share, ms
    QTest::addColumn<int>("extraMs");

    QTest::newRow("9600 polls") << 9600 << 0 << "85 80" << 2 << 100 << 0.15 << 20;
    // Each exchange adds two wake-ups to 0.35 ms of wire time.
    QTest::newRow("115200 polls") << 115200 << 0 << "85 80" << 2 << 300 << 1.0 << 20;
    // A sleep per byte would add its own overshoot each time and fall well
    // behind the wire; absolute deadlines do not.
    QTest::newRow("9600 long reply") << 9600 << 0 << "85 90 02 C8" << 202 << 1 << 0.10 << 5;
    QTest::newRow("115200 long reply") << 115200 << 0 << "85 90 02 C8" << 202 << 1 << 0.10 << 5;
    QTest::newRow("turnaround") << 0 << 20 << "85 80" << 2 << 1 << 0.0 << 15;
    QTest::newRow("9600 and turnaround") << 9600 << 10 << "85 80" << 2 << 1 << 0.0 << 15;
}

void TestSimLine::pacing()
{
    QFETCH(int, baud);
    QFETCH(int, turnaroundMs);
    QFETCH(QString, request);
    QFETCH(int, replyLength);
    QFETCH(int, exchanges);
    QFETCH(double, slack);
    QFETCH(int, extraMs);
    tell({"! add 5", QStringLiteral("! baud %1").arg(baud), QStringLiteral("! turnaround %1").arg(turnaroundMs)});
    const double wire = exchanges * (turnaroundMs + (baud ? 10000.0 / baud : 0) * (hexToBytes(request).size() + replyLength));
    // Never faster than the wire, in any attempt. Not much slower either,
    // but the clock here also counts this client's own wake-ups, which a
    // busy machine delays: one attempt of three within the bound shows
    // that the line itself keeps pace.
    QStringList attempts;
    for (int attempt = 0; attempt < 3; ++attempt) {
        QElapsedTimer timer;
        timer.start();
        double firstByteMs = 0;
        for (int i = 0; i < exchanges; ++i) {
            QVERIFY(m_client.write(hexToBytes(request)));
            QCOMPARE(m_client.read(1, 2000).size(), 1);
            firstByteMs = timer.nsecsElapsed() / 1e6;
            QCOMPARE(m_client.read(replyLength - 1, 2000).size(), replyLength - 1);
        }
        const double ms = timer.nsecsElapsed() / 1e6;
        QVERIFY2(ms >= wire * 0.99, qPrintable(QStringLiteral("%1 ms for wire %2 ms").arg(ms).arg(wire)));
        // A long reply trickles in over its time instead of arriving at once.
        QVERIFY(replyLength < 100 || firstByteMs < wire / 2);
        attempts << QString::number(ms, 'f', 1);
        if (ms <= wire * (1 + slack) + extraMs)
            return;
    }
    QFAIL(qPrintable(QStringLiteral("%1 ms for wire %2 ms").arg(attempts.join(QLatin1String(", "))).arg(wire)));
}

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_simline.moc"
