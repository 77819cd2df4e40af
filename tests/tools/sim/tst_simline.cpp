// The simulated bus as a controller sees it through the pseudo-terminal: the
// monitors' answers and behaviour, framing, the trace, each fault, the device
// vanishing and coming back, and wire time.
#include "tests/support/ptyclient.h"
#include "tools/sim/simbus.h"

#include <QtTest>

#include <ctime>
#include <memory>
#include <mutex>
#include <poll.h>

namespace {

using Ms = std::chrono::duration<double, std::milli>;

double msSince(PtyClient::Clock::time_point start)
{
    return Ms(PtyClient::Clock::now() - start).count();
}

double wireMs(int baud, int bytes)
{
    return baud ? bytes * 10000.0 / baud : 0;
}

} // namespace

class TestSimLine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void singleRequest_data();
    void singleRequest();
    void story_data();
    void story();
    void umdRemembered_data();
    void umdRemembered();
    void framing_data();
    void framing();
    void requestInPiecesAndTornRequest();
    void traceKeepsOrderAndFormat();
    void portClosedBetweenSessions();
    void replyFaults_data();
    void replyFaults();
    void splitReply_data();
    void splitReply();
    void lineSilence();
    void vanishAndReappear_data();
    void vanishAndReappear();
    void pacing_data();
    void pacing();
    void turnaround_data();
    void turnaround();

private:
    // One step: "! command" for the bus, "REQ = REPLY" on the line ("REQ = -"
    // expects silence). Nothing may trail the reply.
    void step(const QString &step);
    void steps(const QStringList &list);
    QStringList messages() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }

    std::unique_ptr<SimBus> m_bus;
    PtyClient m_client;
    mutable std::mutex m_mutex; // the bus prints from its own thread
    QStringList m_messages;
};

void TestSimLine::init()
{
    m_bus = std::make_unique<SimBus>();
    QString error;
    QVERIFY2(m_bus->start(&error), qPrintable(error));
    QVERIFY(m_client.open(m_bus->devicePath()));
    m_messages.clear();
    m_bus->setMessageHandler([this](const QString &line) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages << line;
    });
}

void TestSimLine::cleanup()
{
    m_client.close();
    m_bus.reset();
}

void TestSimLine::step(const QString &step)
{
    if (step.startsWith(QLatin1Char('!'))) {
        QString error;
        QVERIFY2(m_bus->command(step.mid(1).trimmed(), &error), qPrintable(step + QStringLiteral(": ") + error));
        return;
    }
    // "N* REPLY": N stray bytes first, none of which may pass for a sync byte.
    const QStringList sides = step.split(QRegularExpression(QStringLiteral("\\s*[=*]\\s*")));
    const int stray = sides.size() > 2 ? sides.at(1).toInt() : 0;
    const QByteArray expected = hexToBytes(sides.last().toLatin1().replace('-', "").constData());
    QVERIFY(m_client.write(hexToBytes(sides.at(0).toLatin1().constData())));
    QByteArray got = expected.isEmpty() ? m_client.drain(150) : m_client.read(stray + int(expected.size()), 500);
    got += m_client.drain(20);
    for (int i = 0; i < stray && i < got.size(); ++i)
        QVERIFY2(!(got.at(i) & 0x80), qPrintable(step + QStringLiteral(": a stray byte with bit 7 set")));
    got.remove(0, stray);
    QVERIFY2(got == expected, qPrintable(step + QStringLiteral(" got ") + QString::fromLatin1(got.toHex(' '))));
}

void TestSimLine::steps(const QStringList &list)
{
    for (const QString &s : list) {
        step(s);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestSimLine::singleRequest_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("exchange");

    QTest::newRow("echo, just powered") << "add 5" << "85 80 = 85 07";
    QTest::newRow("proto answers as echo") << "add 5" << "85 81 = 85 07";
    QTest::newRow("highest address") << "add 126" << "FE 80 = FE 07";
    QTest::newRow("alarm byte") << "add 5 alarm=0x08" << "85 82 = 85 08";
    QTest::newRow("update, all changed") << "add 5" << "85 83 = 85 01 3F";
    QTest::newRow("serial number padded") << "add 5 sn=KV0005" << "85 90 02 0A = 85 02 4B 56 30 30 30 35 00 00 00 00";
    QTest::newRow("serial number cut") << "add 5 sn=ABCDEFGHIJKL" << "85 90 02 04 = 85 02 41 42 43 44";
    QTest::newRow("version") << "add 5 version=2.14" << "85 90 0C 06 = 85 0C 32 2E 31 34 00 00";
    QTest::newRow("input and mode") << "add 5 input=7 mode=19" << "85 90 12 02 = 85 12 07 13";
    QTest::newRow("rotary levels signed") << "add 5 rotary=-10,5,0,127,-128" << "85 90 14 05 = 85 14 F6 05 00 7F 80";
    QTest::newRow("functions big-endian") << "add 5 functions=0x00010203" << "85 90 19 04 = 85 19 00 01 02 03";
    QTest::newRow("time code") << "add 5 timecode=10:00:00:00" << "85 90 30 0B = 85 30 31 30 3A 30 30 3A 30 30 3A 30 30";
    QTest::newRow("board versions padded") << "add 5 boards=1205" << "85 90 3E 0A = 85 3E 12 05 00 00 00 00 00 00 00 00";
    QTest::newRow("unknown item gives zeros") << "add 5" << "85 90 55 03 = 85 55 00 00 00";
    QTest::newRow("control key") << "add 5" << "85 D0 00 90 = 85 00";
}

void TestSimLine::singleRequest()
{
    QFETCH(QString, setup);
    QFETCH(QString, exchange);
    steps({QStringLiteral("! ") + setup, exchange});
    QCOMPARE(m_bus->requestCount(), 1);
}

void TestSimLine::story_data()
{
    QTest::addColumn<QStringList>("steps");

    // Alarm and update report flags come and go the way the controller's
    // status poll expects them.
    QTest::newRow("alarm report") << QStringList{
        "! add 5", "85 82 = 85 00", "85 80 = 85 05", "85 83 = 85 01 3F", "85 80 = 85 01",
        "! alarm 5 0x04", "85 80 = 85 03", "85 82 = 85 04", "85 80 = 85 01",
        "! alarm 5 clear", "85 80 = 85 03", "85 82 = 85 00", "85 80 = 85 01"};
    QTest::newRow("update report") << QStringList{
        "! add 5", "85 82 = 85 00", "85 83 = 85 01 3F", "85 83 = 85 00 00", "85 80 = 85 01",
        "! set 5 sn KV9", "! set 5 version 3.0", "85 80 = 85 05", "85 83 = 85 01 03", "85 80 = 85 01",
        "85 90 02 04 = 85 02 4B 56 39 00", "! set 5 rotary 3 -2", "! set 5 functions 7", "! set 5 boards 11",
        "85 83 = 85 01 38", "! set 5 input 8", "! set 5 mode 33", "85 83 = 85 01 04", "85 90 12 02 = 85 12 08 21",
        "! set 5 timecode 01:02:03:04", "85 80 = 85 01", "85 90 30 04 = 85 30 30 31 3A 30"};
    QTest::newRow("power keys") << QStringList{
        "! add 5", "85 82 = 85 00", "85 83 = 85 01 3F", "85 80 = 85 01",
        "85 D0 00 FE = 85 00", "85 80 = 85 00", "85 D0 00 FE = 85 00", "85 80 = 85 00",
        "85 D0 00 FF = 85 00", "85 80 = 85 07", "85 83 = 85 01 3F", "85 D0 00 FF = 85 00", "85 80 = 85 03"};
    QTest::newRow("input keys") << QStringList{
        "! add 5 input=1 mode=2", "85 82 = 85 00", "85 83 = 85 01 3F",
        "85 D0 00 80 = 85 00", "85 80 = 85 05", "85 83 = 85 01 04", "85 90 12 02 = 85 12 06 02",
        "85 D0 00 81 = 85 00", "85 90 12 01 = 85 12 07", "85 D0 00 82 = 85 00", "85 90 12 01 = 85 12 05",
        "85 D0 00 83 = 85 00", "85 90 12 01 = 85 12 00", "85 D0 00 84 = 85 00", "85 90 12 01 = 85 12 08",
        "85 83 = 85 01 04", "85 D0 00 84 = 85 00", "85 80 = 85 05", "85 83 = 85 01 04"};
    QTest::newRow("rotary keys clamp") << QStringList{
        "! add 5 rotary=126,0,-127,0,0", "85 83 = 85 01 3F", "85 D0 00 A0 = 85 00", "85 D0 00 A0 = 85 00",
        "85 D0 00 A8 = 85 00", "85 D0 00 AA = 85 00", "85 D0 00 AA = 85 00", "85 D0 00 A4 = 85 00",
        "! key 5 CW2", "! key 5 0xA9", "85 83 = 85 01 08", "85 90 14 05 = 85 14 7E 00 80 00 01"};
    QTest::newRow("function keys toggle") << QStringList{
        "! add 5 functions=0x100", "85 82 = 85 00", "85 83 = 85 01 3F",
        "85 D0 00 88 = 85 00", "85 D0 00 8A = 85 00", "85 D0 00 8C = 85 00", "85 D0 00 88 = 85 00",
        "85 80 = 85 05", "85 83 = 85 01 10", "85 90 19 04 = 85 19 00 00 01 14"};
    QTest::newRow("menu keys and pushes change nothing") << QStringList{
        "! add 5", "85 82 = 85 00", "85 83 = 85 01 3F", "85 D0 00 90 = 85 00", "85 D0 00 93 = 85 00",
        "85 D0 00 98 = 85 00", "85 D0 00 9C = 85 00", "85 80 = 85 01", "85 83 = 85 00 00"};
    QTest::newRow("standby ignores all but power") << QStringList{
        "! add 5 power=off rotary=1,1,1,1,1", "85 D0 00 A0 = 85 00", "85 D0 00 81 = 85 00",
        "85 D0 00 88 = 85 00", "85 80 = 85 00", "85 90 14 01 = 85 14 01", "85 90 19 04 = 85 19 00 00 00 00"};
    QTest::newRow("monitors are independent, removed ones silent") << QStringList{
        "! add 5,6", "! alarm 6 0x10", "! power 5 off", "85 80 = 85 00", "86 80 = 86 07", "86 82 = 86 10",
        "85 82 = 85 00", "! power 5 on", "85 80 = 85 07", "! remove 5", "85 80 = -", "86 80 = 86 05"};
}

void TestSimLine::story()
{
    QFETCH(QStringList, steps);
    this->steps(steps);
}

void TestSimLine::umdRemembered_data()
{
    QTest::addColumn<int>("tally");
    QTest::addColumn<QString>("shown");
    QTest::newRow("no lamp") << 0 << "tally=off";
    QTest::newRow("red") << 1 << "tally=red";
    QTest::newRow("green") << 2 << "tally=green";
    QTest::newRow("both") << 3 << "tally=red+green";
}

void TestSimLine::umdRemembered()
{
    QFETCH(int, tally);
    QFETCH(QString, shown);
    QVERIFY(m_bus->addMonitor(5));
    // Never answered, and cut at the right place: the next request is understood.
    steps({QStringLiteral("85 %1 %2 %2 = -").arg(0x30 | tally, 2, 16).arg(QLatin1String("43 41 4D 20 31 20 20 20")),
           QStringLiteral("85 80 = 85 07")});
    const std::optional<SimMonitorState> state = m_bus->monitor(5);
    QCOMPARE(state->umdText, QByteArray("CAM 1   "));
    QCOMPARE(int(state->umdTally), tally);
    QCOMPARE(state->umdFrames, 1);
    QVERIFY2(m_bus->statusText().contains(QStringLiteral("umd=\"CAM 1   \" ") + shown), qPrintable(m_bus->statusText()));
}

void TestSimLine::framing_data()
{
    QTest::addColumn<QString>("before"); // written before "85 80"
    QTest::addColumn<QString>("skipped"); // what the bus sets aside as garbage

    // Frames to an address without a monitor are taken whole; data bytes
    // with bit 7 set must not pass for sync bytes.
    QTest::newRow("echo to nobody") << "89 80" << "";
    QTest::newRow("query to nobody") << "89 90 85 80" << "";
    QTest::newRow("umd to nobody") << "89 33 85 80 85 80 85 80 85 80 85 80 85 80 85 80 85 80" << "";
    QTest::newRow("low bytes") << "00 12" << "00 12";
    QTest::newRow("lone sync byte") << "85" << "85";
    QTest::newRow("sync with unknown command") << "85 42" << "85 42";
    QTest::newRow("unknown command then low") << "91 A7 05" << "91 A7 05";
}

void TestSimLine::framing()
{
    QFETCH(QString, before);
    QFETCH(QString, skipped);
    QVERIFY(m_bus->addMonitor(5));
    step(before + QStringLiteral(" 85 80 = 85 07"));
    QCOMPARE(m_bus->requestCount(), skipped.isEmpty() ? 2 : 1);
    QCOMPARE(m_bus->monitor(5)->requests, 1);
    QByteArray garbage;
    for (const SimTraceEntry &e : m_bus->trace())
        garbage += e.kind == SimTraceEntry::Garbage ? e.bytes : QByteArray();
    QCOMPARE(garbage, hexToBytes(skipped.toLatin1().constData()));
}

void TestSimLine::requestInPiecesAndTornRequest()
{
    QVERIFY(m_bus->addMonitor(5));
    for (char byte : hexToBytes("85 90 12 02")) {
        QVERIFY(m_client.write(QByteArray(1, byte)));
        QTest::qWait(20);
    }
    QCOMPARE(m_client.read(4, 500), hexToBytes("85 12 06 09"));
    // The start of a request that never finishes must not swallow the next
    // one once the line has been quiet for a while.
    QVERIFY(m_client.write(hexToBytes("85 90")));
    QTest::qWait(int(SimFramer::GapLimit.count()) + 50);
    step(QStringLiteral("85 80 = 85 07"));
    QCOMPARE(m_bus->trace().at(2).bytes, hexToBytes("85 90"));
    QCOMPARE(m_bus->trace().at(2).kind, SimTraceEntry::Garbage);
}

void TestSimLine::traceKeepsOrderAndFormat()
{
    QVERIFY(m_bus->addMonitor(5));
    m_bus->setTraceOutput(true);
    steps({QStringLiteral("00 85 80 = 85 07"), QStringLiteral("85 82 = 85 00")});
    QVERIFY(m_bus->waitForIdle(1000));
    const QList<SimTraceEntry> trace = m_bus->trace();
    QCOMPARE(trace.size(), 5);
    for (int i = 1; i < trace.size(); ++i)
        QVERIFY(trace.at(i).start <= trace.at(i).end && trace.at(i - 1).end <= trace.at(i).start);

    // Printed lines: time in ms, direction, bytes, then an optional comment.
    QTRY_COMPARE(messages().size(), 5);
    const QRegularExpression re(QStringLiteral(R"(^\s*(\d+\.\d{3}) ([<>?]) ((?:[0-9A-F]{2} ?)+)(?:\s+#.*)?$)"));
    const QStringList expected{"? 00", "> 85 80", "< 85 07", "> 85 82", "< 85 00"};
    double previous = 0;
    for (int i = 0; i < 5; ++i) {
        const QRegularExpressionMatch m = re.match(messages().at(i));
        QVERIFY2(m.hasMatch(), qPrintable(messages().at(i)));
        QCOMPARE(m.captured(2) + QLatin1Char(' ') + m.captured(3).trimmed(), expected.at(i));
        QVERIFY(m.captured(1).toDouble() >= previous);
        previous = m.captured(1).toDouble();
    }
    QVERIFY(messages().at(1).contains(QLatin1String("# echo 5")));
    m_bus->clearTrace();
    QVERIFY(m_bus->trace().isEmpty());
}

void TestSimLine::portClosedBetweenSessions()
{
    // The controller closes its port between sessions; the bus must neither
    // notice nor spin meanwhile.
    QVERIFY(m_bus->addMonitor(5));
    step(QStringLiteral("85 80 = 85 07"));
    m_client.close();
    const std::clock_t cpuBefore = std::clock();
    QTest::qWait(300);
    const double cpuMs = double(std::clock() - cpuBefore) * 1000.0 / CLOCKS_PER_SEC;
    QVERIFY2(cpuMs < 60, qPrintable(QStringLiteral("%1 ms CPU while idle").arg(cpuMs)));
    QVERIFY(m_client.open(m_bus->devicePath()));
    step(QStringLiteral("85 80 = 85 07"));
}

void TestSimLine::replyFaults_data()
{
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("silence") << QStringList{"! fault 5 silence", "85 80 = -", "85 90 02 02 = -"};
    QTest::newRow("noise, never a sync byte") << QStringList{"! fault 5 noise", "85 80 = 3* 85 07",
        "! fault 5 noise 7", "85 82 = 7* 85 00"};
    QTest::newRow("bad alarm byte, echo spared") << QStringList{"! fault 5 badalarm", "85 82 = 85 05",
        "! fault 5 badalarm 0x12", "85 82 = 85 12", "85 80 = 85 05"};
    QTest::newRow("wrong item, same length") << QStringList{"! fault 5 wrongitem", "85 90 12 02 = 85 13 06 09",
        "85 90 02 03 = 85 03 4B 56 30"};
    QTest::newRow("no queries") << QStringList{"! fault 5 noquery", "85 90 02 02 = -", "85 80 = 85 07"};
    // A late reply still comes, and a later request sees it first.
    QTest::newRow("late") << QStringList{"! fault 5 late 200", "85 80 = -", "86 80 = 85 07 86 07"};
    QTest::newRow("dies after polls, queries not counted") << QStringList{"! fault 5 dies-after 2 polls",
        "85 80 = 85 07", "85 90 12 01 = 85 12 06", "85 80 = 85 07", "85 80 = -", "85 90 12 01 = -"};
    QTest::newRow("dies after a time") << QStringList{"! fault 5 dies-after 100ms", "85 80 = 85 07",
        "87 80 = -", "85 80 = -", "86 80 = 86 07"};
    QTest::newRow("healed by none") << QStringList{"! fault 5 dies-after 0 polls", "85 80 = -",
        "! fault 5 none", "85 80 = 85 07"};
    QTest::newRow("per address") << QStringList{"! fault 5 silence", "! fault 6 badalarm 0x20", "85 82 = -",
        "86 82 = 86 20", "! fault all none", "85 82 = 85 00", "86 82 = 86 00"};
}

void TestSimLine::replyFaults()
{
    QFETCH(QStringList, steps);
    QVERIFY(m_bus->addMonitor(5) && m_bus->addMonitor(6));
    this->steps(steps);
}

void TestSimLine::splitReply_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("pieces");
    QTest::newRow("echo") << hexToBytes("85 80") << hexToBytes("85 07") << 2;
    QTest::newRow("serial number") << hexToBytes("85 90 02 0A") << hexToBytes("85 02 4B 56 30 30 30 35 00 00 00 00") << 3;
}

void TestSimLine::splitReply()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(int, pieces);
    const int pauseMs = 60;
    QVERIFY(m_bus->addMonitor(5));
    QVERIFY(m_bus->setFault(5, SimFault(SimFault::Split, pauseMs)));
    QVERIFY(m_client.write(request));
    const QList<PtyClient::Chunk> chunks = m_client.readChunks(int(reply.size()), 1000);
    QByteArray all;
    int seen = 1; // pieces are told apart by the pauses between them
    for (int i = 0; i < chunks.size(); ++i) {
        all += chunks.at(i).bytes;
        seen += i > 0 && Ms(chunks.at(i).at - chunks.at(i - 1).at).count() >= pauseMs * 0.8;
    }
    QCOMPARE(all, reply);
    QCOMPARE(seen, pieces);
}

void TestSimLine::lineSilence()
{
    QVERIFY(m_bus->addMonitor(5) && m_bus->addMonitor(6));
    // Monitor 6 has heard its request before the line goes; its late reply
    // must be lost with the line. Nothing sent meanwhile is heard: the
    // queries would have cleared the report flags the echoes show after.
    steps({"! fault 5 badalarm 0x20", "! fault 6 late 300", "86 80 = -", "! silence all",
           "85 82 = -", "85 83 = -", "! add 7", "87 80 = -"});
    QVERIFY(m_bus->isLineSilent() && m_bus->isRunning());
    QCOMPARE(m_bus->requestCount(), 4); // the controller's polls are still seen
    QCOMPARE(m_bus->replyCount(), 0);
    QCOMPARE(m_bus->monitor(5)->requests, 0);
    QCOMPARE(m_bus->trace().size(), 4);
    QCOMPARE(m_bus->trace().last().bytes, hexToBytes("87 80"));
    QVERIFY2(m_bus->statusText().section(QLatin1Char('\n'), 0, 0).endsWith(QLatin1String(" line=silent")),
             qPrintable(m_bus->statusText()));

    steps({"! silence none", "85 80 = 85 07", "87 80 = 87 07", "85 82 = 85 20", "86 80 = 86 07"});
    QVERIFY(!m_bus->isLineSilent());
    QVERIFY(!m_bus->statusText().contains(QLatin1String("silent")));
}

void TestSimLine::vanishAndReappear_data()
{
    QTest::addColumn<bool>("newNode");
    QTest::newRow("any node") << false;
    QTest::newRow("new node") << true;
}

void TestSimLine::vanishAndReappear()
{
    QFETCH(bool, newNode);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    QString error;
    QVERIFY2(m_bus->setLinkPath(link, &error), qPrintable(error));
    const QString oldPath = m_bus->devicePath();
    QCOMPARE(QFileInfo(link).symLinkTarget(), oldPath);
    QVERIFY(m_bus->addMonitor(5));
    step(QStringLiteral("85 80 = 85 07"));
    QVERIFY(m_bus->command(QStringLiteral("vanish")));
    QVERIFY(m_bus->isVanished() && !m_bus->isRunning() && m_bus->devicePath().isEmpty());
    QVERIFY(!QFileInfo(link).isSymLink());
    // The open port sees the device go: a hang-up, and nothing to read.
    pollfd p{m_client.fd(), POLLIN, 0};
    QVERIFY(::poll(&p, 1, 200) == 1 && (p.revents & (POLLHUP | POLLERR)));
    m_client.close();
    QVERIFY(!QFileInfo::exists(oldPath));

    QVERIFY2(m_bus->command(newNode ? QStringLiteral("reappear newnode") : QStringLiteral("reappear"), &error),
             qPrintable(error));
    QVERIFY(m_bus->isRunning());
    const QString newPath = m_bus->devicePath();
    QCOMPARE(QFileInfo(link).symLinkTarget(), newPath);
    if (newNode)
        QVERIFY2(newPath != oldPath, qPrintable(newPath));
    QCOMPARE(messages(), (QStringList{QStringLiteral("device gone"), QStringLiteral("device ") + newPath}));
    // The monitors were kept; reached through the link as a controller would.
    QVERIFY(m_client.open(link));
    step(QStringLiteral("85 80 = 85 07"));
    m_bus->stop();
    QVERIFY(!QFileInfo(link).isSymLink());

    // A link path that is a real file is never replaced, and a bus that
    // cannot make its link does not start half-way.
    const QString file = dir.filePath(QStringLiteral("plain"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && m_bus->start());
    QVERIFY(!m_bus->setLinkPath(file, &error));
    QVERIFY(error.contains(QLatin1String("not a symbolic link")));
    SimBus other;
    QVERIFY(other.setLinkPath(file));
    QVERIFY(!other.start(&error));
    QVERIFY(!other.isRunning() && other.devicePath().isEmpty() && QFileInfo(file).isFile());
}

void TestSimLine::pacing_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("replyLength");
    QTest::addColumn<int>("exchanges");
    QTest::addColumn<double>("slack"); // allowed excess over the wire time: share, ms
    QTest::addColumn<int>("extraMs");

    QTest::newRow("unpaced") << 0 << hexToBytes("85 80") << 2 << 300 << 0.0 << 1000;
    QTest::newRow("9600 polls") << 9600 << hexToBytes("85 80") << 2 << 100 << 0.15 << 20;
    // Each exchange adds two wake-ups to 0.35 ms of wire time.
    QTest::newRow("115200 polls") << 115200 << hexToBytes("85 80") << 2 << 300 << 1.0 << 20;
    // A sleep per byte would add its own overshoot each time and fall well
    // behind the wire; absolute deadlines do not.
    QTest::newRow("9600 long reply") << 9600 << hexToBytes("85 90 02 C8") << 202 << 1 << 0.10 << 5;
    QTest::newRow("115200 long reply") << 115200 << hexToBytes("85 90 02 C8") << 202 << 1 << 0.10 << 5;
}

void TestSimLine::pacing()
{
    QFETCH(int, baud);
    QFETCH(QByteArray, request);
    QFETCH(int, replyLength);
    QFETCH(int, exchanges);
    QFETCH(double, slack);
    QFETCH(int, extraMs);
    QVERIFY(m_bus->addMonitor(5));
    QVERIFY(m_bus->command(QStringLiteral("baud %1").arg(baud)));
    const auto start = PtyClient::Clock::now();
    QList<PtyClient::Chunk> chunks;
    for (int i = 0; i < exchanges; ++i) {
        QVERIFY(m_client.write(request));
        chunks = m_client.readChunks(replyLength, 2000);
        int got = 0;
        for (const PtyClient::Chunk &c : chunks)
            got += int(c.bytes.size());
        QCOMPARE(got, replyLength);
    }
    const double ms = msSince(start);
    const double wire = exchanges * wireMs(baud, int(request.size()) + replyLength);
    QVERIFY2(ms >= wire * 0.99 && ms <= wire * (1 + slack) + extraMs,
             qPrintable(QStringLiteral("%1 ms for wire %2 ms").arg(ms).arg(wire)));
    QCOMPARE(m_bus->replyCount(), exchanges);
    // A long reply trickles in over its time instead of arriving at once.
    if (replyLength > 100)
        QVERIFY(chunks.size() > 5 && Ms(chunks.first().at - start).count() < wire / 2);
}

void TestSimLine::turnaround_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("turnaroundMs");
    QTest::newRow("20 ms") << 0 << 20;
    QTest::newRow("9600 and 10 ms") << 9600 << 10;
}

void TestSimLine::turnaround()
{
    QFETCH(int, baud);
    QFETCH(int, turnaroundMs);
    QVERIFY(m_bus->addMonitor(5));
    QVERIFY(m_bus->command(QStringLiteral("baud %1").arg(baud)));
    QVERIFY(m_bus->command(QStringLiteral("turnaround %1").arg(turnaroundMs)));
    const auto start = PtyClient::Clock::now();
    QCOMPARE(m_client.exchange(hexToBytes("85 80"), 2, 1000), hexToBytes("85 07"));
    const double ms = msSince(start);
    const double expected = turnaroundMs + wireMs(baud, 4);
    QVERIFY2(ms >= expected * 0.99 && ms < expected + 15, qPrintable(QString::number(ms)));
    // A reply never begins before the request has ended plus the turnaround.
    QVERIFY(Ms(m_bus->trace().at(1).start - m_bus->trace().at(0).end).count() >= turnaroundMs);
}

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_simline.moc"
