// The simulated monitors as a controller sees them through the pseudo-terminal.

#include "ptyclient.h"
#include "simbus.h"

#include <QtTest>

#include <ctime>
#include <memory>
#include <mutex>

class TestSimMonitor : public QObject
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
    void silentAddressConsumesFrame_data();
    void silentAddressConsumesFrame();
    void garbageBeforeSync_data();
    void garbageBeforeSync();
    void requestInPieces();
    void tornRequestIsDropped();
    void traceKeepsOrderAndFormat();
    void portClosedBetweenSessions();

private:
    // Runs one step: "! command" for the bus, "REQ = REPLY" for the line
    // ("REQ = -" expects silence).
    void step(const QString &step);

    QStringList printed() const
    {
        std::lock_guard<std::mutex> lock(m_printedMutex);
        return m_printed;
    }

    std::unique_ptr<SimBus> m_bus;
    PtyClient m_client;
    mutable std::mutex m_printedMutex; // the bus prints from its own thread
    QStringList m_printed;
};

void TestSimMonitor::init()
{
    m_bus = std::make_unique<SimBus>();
    QString error;
    QVERIFY2(m_bus->start(&error), qPrintable(error));
    QVERIFY(m_client.open(m_bus->devicePath()));
}

void TestSimMonitor::cleanup()
{
    m_client.close();
    m_bus.reset();
    m_printed.clear();
}

void TestSimMonitor::step(const QString &step)
{
    if (step.startsWith(QLatin1Char('!'))) {
        QString error;
        QVERIFY2(m_bus->command(step.mid(1).trimmed(), &error),
                 qPrintable(QStringLiteral("%1: %2").arg(step, error)));
        return;
    }
    const QStringList sides = step.split(QLatin1Char('='));
    QCOMPARE(sides.size(), 2);
    const QByteArray request = QByteArray::fromHex(sides.at(0).toLatin1().replace(' ', ""));
    const QString expectText = sides.at(1).trimmed();
    if (expectText == QLatin1String("-")) {
        QVERIFY(m_client.write(request));
        const QByteArray got = m_client.drain(150);
        QVERIFY2(got.isEmpty(), qPrintable(step + QStringLiteral(" got ") + QString::fromLatin1(got.toHex(' '))));
        return;
    }
    const QByteArray expected = QByteArray::fromHex(expectText.toLatin1().replace(' ', ""));
    const QByteArray got = m_client.exchange(request, int(expected.size()), 500);
    QVERIFY2(got == expected, qPrintable(step + QStringLiteral(" got ") + QString::fromLatin1(got.toHex(' '))));
    // Exactly that many bytes: nothing may trail the reply.
    const QByteArray extra = m_client.drain(20);
    QVERIFY2(extra.isEmpty(), qPrintable(step + QStringLiteral(" trailing ") + QString::fromLatin1(extra.toHex(' '))));
}

void TestSimMonitor::singleRequest_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("exchange");

    QTest::newRow("echo, just powered") << "add 5" << "85 80 = 85 07";
    QTest::newRow("echo, standby") << "add 5 power=off" << "85 80 = 85 00";
    QTest::newRow("proto answers as echo") << "add 5" << "85 81 = 85 07";
    QTest::newRow("highest address") << "add 126" << "FE 80 = FE 07";
    QTest::newRow("alarm byte") << "add 5 alarm=0x08" << "85 82 = 85 08";
    QTest::newRow("update, all changed") << "add 5" << "85 83 = 85 01 3F";
    QTest::newRow("update, nothing changed") << "add 5 power=off" << "85 83 = 85 00 00";
    QTest::newRow("serial number padded") << "add 5 sn=KV0005" << "85 90 02 0A = 85 02 4B 56 30 30 30 35 00 00 00 00";
    QTest::newRow("serial number cut") << "add 5 sn=ABCDEFGHIJKL" << "85 90 02 04 = 85 02 41 42 43 44";
    QTest::newRow("version") << "add 5 version=2.14" << "85 90 0C 06 = 85 0C 32 2E 31 34 00 00";
    QTest::newRow("input and mode") << "add 5 input=7 mode=19" << "85 90 12 02 = 85 12 07 13";
    QTest::newRow("rotary levels signed") << "add 5 rotary=-10,5,0,127,-128" << "85 90 14 05 = 85 14 F6 05 00 7F 80";
    QTest::newRow("functions big-endian") << "add 5 functions=0x00010203" << "85 90 19 04 = 85 19 00 01 02 03";
    QTest::newRow("time code") << "add 5 timecode=10:00:00:00"
                               << "85 90 30 0E = 85 30 31 30 3A 30 30 3A 30 30 3A 30 30 00 00 00";
    QTest::newRow("board versions") << "add 5 boards=0102030405060708090A" << "85 90 3E 0A = 85 3E 01 02 03 04 05 06 07 08 09 0A";
    QTest::newRow("short board versions padded") << "add 5 boards=1205" << "85 90 3E 0A = 85 3E 12 05 00 00 00 00 00 00 00 00";
    QTest::newRow("unknown item gives zeros") << "add 5" << "85 90 55 03 = 85 55 00 00 00";
    QTest::newRow("zero data length") << "add 5" << "85 90 02 00 = 85 02";
    QTest::newRow("control key") << "add 5" << "85 D0 00 90 = 85 00";
    QTest::newRow("unknown key still answered") << "add 5" << "85 D0 00 42 = 85 00";
}

void TestSimMonitor::singleRequest()
{
    QFETCH(QString, setup);
    QFETCH(QString, exchange);
    step(QStringLiteral("! ") + setup);
    step(exchange);
    QCOMPARE(m_bus->requestCount(), 1);
}

void TestSimMonitor::story_data()
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
        "85 90 02 04 = 85 02 4B 56 39 00",
        "! set 5 rotary 3 -2", "! set 5 functions 7", "! set 5 boards 11", "85 83 = 85 01 38",
        "! set 5 input 8", "85 83 = 85 01 04", "85 90 12 02 = 85 12 08 09",
        "! set 5 mode 33", "85 83 = 85 01 04", "85 90 12 02 = 85 12 08 21"};
    QTest::newRow("time code is no update") << QStringList{
        "! add 5", "85 82 = 85 00", "85 83 = 85 01 3F",
        "! set 5 timecode 01:02:03:04", "85 80 = 85 01", "85 90 30 04 = 85 30 30 31 3A 30"};
    QTest::newRow("power keys") << QStringList{
        "! add 5", "85 82 = 85 00", "85 83 = 85 01 3F", "85 80 = 85 01",
        "85 D0 00 FE = 85 00", "85 80 = 85 00", "85 D0 00 FE = 85 00", "85 80 = 85 00",
        "85 D0 00 FF = 85 00", "85 80 = 85 07", "85 83 = 85 01 3F", "85 D0 00 FF = 85 00", "85 80 = 85 03"};
    QTest::newRow("power commands") << QStringList{
        "! add 5 power=off", "85 80 = 85 00", "! power 5 on", "85 80 = 85 07", "! power 5 off", "85 80 = 85 00"};
    QTest::newRow("input keys") << QStringList{
        "! add 5 input=1 mode=2", "85 82 = 85 00", "85 83 = 85 01 3F",
        "85 D0 00 80 = 85 00", "85 80 = 85 05", "85 83 = 85 01 04", "85 90 12 02 = 85 12 06 02",
        "85 D0 00 81 = 85 00", "85 90 12 01 = 85 12 07",
        "85 D0 00 82 = 85 00", "85 90 12 01 = 85 12 05",
        "85 D0 00 83 = 85 00", "85 90 12 01 = 85 12 00",
        "85 D0 00 84 = 85 00", "85 90 12 01 = 85 12 08", "85 83 = 85 01 04",
        "85 D0 00 84 = 85 00", "85 80 = 85 05", "85 83 = 85 01 04"};
    QTest::newRow("rotary keys clamp") << QStringList{
        "! add 5 rotary=126,0,-127,0,0", "85 83 = 85 01 3F",
        "85 D0 00 A0 = 85 00", "85 D0 00 A0 = 85 00", "85 D0 00 A8 = 85 00",
        "85 D0 00 AA = 85 00", "85 D0 00 AA = 85 00", "85 D0 00 A4 = 85 00",
        "85 83 = 85 01 08", "85 90 14 05 = 85 14 7E 00 80 00 01"};
    QTest::newRow("function keys toggle") << QStringList{
        "! add 5 functions=0x100", "85 82 = 85 00", "85 83 = 85 01 3F",
        "85 D0 00 88 = 85 00", "85 D0 00 8A = 85 00", "85 D0 00 8C = 85 00", "85 D0 00 88 = 85 00",
        "85 80 = 85 05", "85 83 = 85 01 10", "85 90 19 04 = 85 19 00 00 01 14"};
    QTest::newRow("menu keys and pushes change nothing") << QStringList{
        "! add 5", "85 82 = 85 00", "85 83 = 85 01 3F",
        "85 D0 00 90 = 85 00", "85 D0 00 91 = 85 00", "85 D0 00 92 = 85 00", "85 D0 00 93 = 85 00",
        "85 D0 00 98 = 85 00", "85 D0 00 9C = 85 00", "85 80 = 85 01", "85 83 = 85 00 00"};
    QTest::newRow("standby ignores all but power") << QStringList{
        "! add 5 power=off rotary=1,1,1,1,1", "85 D0 00 A0 = 85 00", "85 D0 00 81 = 85 00",
        "85 D0 00 88 = 85 00", "85 80 = 85 00", "85 90 14 01 = 85 14 01", "85 90 19 04 = 85 19 00 00 00 00"};
    QTest::newRow("key command acts like the frame") << QStringList{
        "! add 5", "85 83 = 85 01 3F", "! key 5 CW2", "! key 5 cw2", "! key 5 0xA9",
        "85 83 = 85 01 08", "85 90 14 02 = 85 14 00 01"};
    QTest::newRow("monitors are independent") << QStringList{
        "! add 5,6", "! alarm 6 0x10", "! power 5 off", "85 80 = 85 00", "86 80 = 86 07",
        "86 82 = 86 10", "85 82 = 85 00"};
    QTest::newRow("removed monitor falls silent") << QStringList{
        "! add 5", "85 80 = 85 07", "! remove 5", "85 80 = -", "! add 5 power=off", "85 80 = 85 00"};
}

void TestSimMonitor::story()
{
    QFETCH(QStringList, steps);
    for (const QString &s : steps) {
        step(s);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestSimMonitor::umdRemembered_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("tally");
    QTest::addColumn<QString>("shown");

    QTest::newRow("no lamp") << QByteArray("CAM 1   ") << 0 << "tally=off";
    QTest::newRow("red") << QByteArray("AB      ") << 1 << "tally=red";
    QTest::newRow("green") << QByteArray("PGM     ") << 2 << "tally=green";
    QTest::newRow("both") << QByteArray("12345678") << 3 << "tally=red+green";
}

void TestSimMonitor::umdRemembered()
{
    QFETCH(QByteArray, text);
    QFETCH(int, tally);
    QFETCH(QString, shown);

    QVERIFY(m_bus->addMonitor(5));
    QByteArray frame;
    frame.append(char(0x85));
    frame.append(char(0x30 | tally));
    frame.append(text);
    frame.append(text);
    QVERIFY(m_client.write(frame));
    QVERIFY(m_bus->waitForRequests(1, 1000));
    QVERIFY(m_client.drain(100).isEmpty()); // a UMD frame is never answered

    const std::optional<SimMonitorState> state = m_bus->monitor(5);
    QVERIFY(state);
    QCOMPARE(state->umdText, text);
    QCOMPARE(int(state->umdTally), tally);
    QCOMPARE(state->umdFrames, 1);
    const QString status = m_bus->statusText();
    QVERIFY2(status.contains(QStringLiteral("umd=\"%1\" %2").arg(QString::fromLatin1(text), shown)),
             qPrintable(status));
    // The frame was cut at the right place: the next request is understood.
    step(QStringLiteral("85 80 = 85 07"));
    QCOMPARE(m_bus->requestCount(), 2);
}

void TestSimMonitor::silentAddressConsumesFrame_data()
{
    QTest::addColumn<QByteArray>("request");

    QTest::newRow("echo") << hexToBytes("89 80");
    QTest::newRow("update") << hexToBytes("89 83");
    // Data bytes with bit 7 set must not be taken for sync bytes.
    QTest::newRow("query") << hexToBytes("89 90 85 80");
    QTest::newRow("control") << hexToBytes("89 D0 00 FF");
    QTest::newRow("umd") << QByteArray("\x89\x33\x85\x80\x85\x80\x85\x80\x85\x80\x85\x80\x85\x80\x85\x80\x85\x80", 18);
}

void TestSimMonitor::silentAddressConsumesFrame()
{
    QFETCH(QByteArray, request);
    QVERIFY(m_bus->addMonitor(5));
    QVERIFY(m_client.write(request));
    QVERIFY(m_bus->waitForRequests(1, 1000));
    QVERIFY(m_client.drain(100).isEmpty());

    const QList<SimTraceEntry> trace = m_bus->trace();
    QCOMPARE(trace.size(), 1);
    QCOMPARE(trace.first().kind, SimTraceEntry::Request);
    QCOMPARE(int(trace.first().address), 9);
    QCOMPARE(trace.first().bytes, request);
    QCOMPARE(m_bus->monitor(5)->requests, 0);
    step(QStringLiteral("85 80 = 85 07"));
}

void TestSimMonitor::garbageBeforeSync_data()
{
    QTest::addColumn<QByteArray>("garbage");

    QTest::newRow("low bytes") << hexToBytes("00 12");
    QTest::newRow("one byte") << hexToBytes("7F");
    QTest::newRow("lone sync byte") << hexToBytes("85");
    QTest::newRow("sync with unknown command") << hexToBytes("85 42");
    QTest::newRow("two high bytes") << hexToBytes("C5 F0");
    QTest::newRow("unknown command then low") << hexToBytes("91 A7 05");
}

void TestSimMonitor::garbageBeforeSync()
{
    QFETCH(QByteArray, garbage);
    QVERIFY(m_bus->addMonitor(5));
    step(QStringLiteral("%1 85 80 = 85 07").arg(QString::fromLatin1(garbage.toHex(' '))));
    QCOMPARE(m_bus->requestCount(), 1);

    QByteArray skipped;
    for (const SimTraceEntry &e : m_bus->trace()) {
        if (e.kind == SimTraceEntry::Garbage)
            skipped += e.bytes;
    }
    QCOMPARE(skipped, garbage);
}

void TestSimMonitor::requestInPieces()
{
    QVERIFY(m_bus->addMonitor(5, true));
    const QByteArray request = hexToBytes("85 90 12 02");
    for (char byte : request) {
        QVERIFY(m_client.write(QByteArray(1, byte)));
        QTest::qWait(20);
    }
    QCOMPARE(m_client.read(4, 500), hexToBytes("85 12 06 09"));
}

void TestSimMonitor::tornRequestIsDropped()
{
    // The start of a query that never finishes must not swallow the next
    // request once the line has been quiet for a while.
    QVERIFY(m_bus->addMonitor(5));
    QVERIFY(m_client.write(hexToBytes("85 90")));
    QTest::qWait(int(SimFramer::GapLimit.count()) + 50);
    step(QStringLiteral("85 80 = 85 07"));
    QCOMPARE(m_bus->requestCount(), 1);
    const QList<SimTraceEntry> trace = m_bus->trace();
    QCOMPARE(trace.first().kind, SimTraceEntry::Garbage);
    QCOMPARE(trace.first().bytes, hexToBytes("85 90"));
}

void TestSimMonitor::traceKeepsOrderAndFormat()
{
    QVERIFY(m_bus->addMonitor(5));
    m_bus->setMessageHandler([this](const QString &line) {
        std::lock_guard<std::mutex> lock(m_printedMutex);
        m_printed << line;
    });
    m_bus->setTraceOutput(true);
    step(QStringLiteral("00 85 80 = 85 07"));
    step(QStringLiteral("85 82 = 85 00"));
    QVERIFY(m_bus->waitForIdle(1000));

    const QList<SimTraceEntry> trace = m_bus->trace();
    QCOMPARE(trace.size(), 5);
    const SimTraceEntry::Kind kinds[] = {SimTraceEntry::Garbage, SimTraceEntry::Request, SimTraceEntry::Reply,
                                         SimTraceEntry::Request, SimTraceEntry::Reply};
    for (int i = 0; i < trace.size(); ++i) {
        QCOMPARE(trace.at(i).kind, kinds[i]);
        QVERIFY(trace.at(i).start <= trace.at(i).end);
        if (i > 0)
            QVERIFY(trace.at(i - 1).end <= trace.at(i).start);
    }

    // Printed lines: time in ms, direction, bytes, then an optional comment.
    QTRY_COMPARE(printed().size(), 5);
    const QStringList printed = this->printed();
    const QRegularExpression re(QStringLiteral(R"(^\s*(\d+\.\d{3}) ([<>?]) ((?:[0-9A-F]{2} ?)+)(?:\s+#.*)?$)"));
    const char *expected[][2] = {{"?", "00"}, {">", "85 80"}, {"<", "85 07"}, {">", "85 82"}, {"<", "85 00"}};
    double previous = 0;
    for (int i = 0; i < printed.size(); ++i) {
        const QRegularExpressionMatch m = re.match(printed.at(i));
        QVERIFY2(m.hasMatch(), qPrintable(printed.at(i)));
        QCOMPARE(m.captured(2), QString::fromLatin1(expected[i][0]));
        QCOMPARE(m.captured(3).trimmed(), QString::fromLatin1(expected[i][1]));
        const double ms = m.captured(1).toDouble();
        QVERIFY(ms >= previous);
        previous = ms;
    }
    QVERIFY(printed.at(1).contains(QLatin1String("# echo 5")));

    m_bus->clearTrace();
    QVERIFY(m_bus->trace().isEmpty());
}

void TestSimMonitor::portClosedBetweenSessions()
{
    // The controller closes its port when a search ends and opens it again
    // for the next one; the bus must neither notice nor spin meanwhile.
    QVERIFY(m_bus->addMonitor(5));
    step(QStringLiteral("85 80 = 85 07"));
    m_client.close();

    const std::clock_t cpuBefore = std::clock();
    QTest::qWait(300);
    const double cpuMs = double(std::clock() - cpuBefore) * 1000.0 / CLOCKS_PER_SEC;
    QVERIFY2(cpuMs < 60, qPrintable(QStringLiteral("%1 ms CPU while idle").arg(cpuMs)));

    QVERIFY(m_client.open(m_bus->devicePath()));
    step(QStringLiteral("85 80 = 85 07"));
    QVERIFY(m_bus->isRunning());
}

QTEST_GUILESS_MAIN(TestSimMonitor)
#include "tst_simmonitor.moc"
