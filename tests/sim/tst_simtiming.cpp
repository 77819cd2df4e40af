// Wire time and turnaround: what a controller measures must be what a real
// line at that rate would give.

#include "ptyclient.h"
#include "simbus.h"
#include "simwire.h"

#include <QtTest>

#include <memory>

namespace {

using Ms = std::chrono::duration<double, std::milli>;

double wireMs(int baud, int bytes)
{
    return bytes * 10000.0 / baud;
}

} // namespace

class TestSimTiming : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wireArithmetic_data();
    void wireArithmetic();
    void singleExchange_data();
    void singleExchange();
    void manyExchanges_data();
    void manyExchanges();
    void longReplyIsPacedAbsolutely_data();
    void longReplyIsPacedAbsolutely();
    void turnaround_data();
    void turnaround();
    void unpacedIsFast();

private:
    std::unique_ptr<SimBus> m_bus;
    PtyClient m_client;
};

void TestSimTiming::init()
{
    m_bus = std::make_unique<SimBus>();
    QString error;
    QVERIFY2(m_bus->start(&error), qPrintable(error));
    QVERIFY(m_client.open(m_bus->devicePath()));
    QVERIFY(m_bus->addMonitor(5));
}

void TestSimTiming::cleanup()
{
    m_client.close();
    m_bus.reset();
}

void TestSimTiming::wireArithmetic_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<qint64>("byteNs");

    QTest::newRow("off") << 0 << qint64(0);
    QTest::newRow("1200") << 1200 << qint64(8333333);
    QTest::newRow("9600") << 9600 << qint64(1041667);
    QTest::newRow("115200") << 115200 << qint64(86806);
}

void TestSimTiming::wireArithmetic()
{
    QFETCH(int, baud);
    QFETCH(qint64, byteNs);

    SimWire wire;
    wire.setBaud(baud);
    QCOMPARE(qint64(wire.byteTime().count()), byteNs);
    // Back-to-back bytes follow each other exactly; a byte ready only later
    // starts when it is ready.
    const SimWire::Clock::time_point t0 = SimWire::Clock::now();
    const auto first = wire.transfer(t0);
    const auto second = wire.transfer(t0);
    QCOMPARE((first - t0).count(), byteNs);
    QCOMPARE((second - first).count(), byteNs);
    const auto later = t0 + std::chrono::milliseconds(50);
    QCOMPARE((wire.transfer(later) - later).count(), byteNs);
    // A thousand bytes do not drift from the arithmetic.
    const auto start = wire.freeAt();
    for (int i = 0; i < 1000; ++i)
        wire.transfer(start);
    QVERIFY(std::abs(double((wire.freeAt() - start).count()) - (baud ? 1000 * 1e10 / baud : 0)) < 1000);
}

void TestSimTiming::singleExchange_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("replyLength");

    QTest::newRow("9600 echo") << 9600 << hexToBytes("85 80") << 2;
    QTest::newRow("9600 query") << 9600 << hexToBytes("85 90 02 0A") << 12;
    QTest::newRow("2400 update") << 2400 << hexToBytes("85 83") << 3;
    QTest::newRow("115200 query") << 115200 << hexToBytes("85 90 3E 0A") << 12;
}

void TestSimTiming::singleExchange()
{
    QFETCH(int, baud);
    QFETCH(QByteArray, request);
    QFETCH(int, replyLength);

    m_bus->setBaud(baud);
    QCOMPARE(m_bus->baud(), baud);
    const auto start = PtyClient::Clock::now();
    const QByteArray reply = m_client.exchange(request, replyLength, 1000);
    const double ms = Ms(PtyClient::Clock::now() - start).count();
    QCOMPARE(reply.size(), replyLength);
    const double wire = wireMs(baud, int(request.size()) + replyLength);
    QVERIFY2(ms >= wire * 0.99, qPrintable(QStringLiteral("%1 ms < wire %2 ms").arg(ms).arg(wire)));
    QVERIFY2(ms < wire + 15, qPrintable(QStringLiteral("%1 ms for wire %2 ms").arg(ms).arg(wire)));

    // The trace shows the request complete only after its own wire time.
    const QList<SimTraceEntry> trace = m_bus->trace();
    QCOMPARE(trace.size(), 2);
    const double requestMs = Ms(trace.at(0).end - trace.at(0).start).count();
    QVERIFY(requestMs >= wireMs(baud, int(request.size()) - 1) * 0.99);
}

void TestSimTiming::manyExchanges_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("exchanges");
    QTest::addColumn<double>("slack"); // allowed excess over the wire time

    QTest::newRow("1200") << 1200 << 25 << 0.10;
    QTest::newRow("9600") << 9600 << 100 << 0.15;
    // Each exchange adds two wake-ups to 0.35 ms of wire time.
    QTest::newRow("115200") << 115200 << 300 << 1.0;
}

void TestSimTiming::manyExchanges()
{
    QFETCH(int, baud);
    QFETCH(int, exchanges);
    QFETCH(double, slack);

    m_bus->setBaud(baud);
    const QByteArray request = hexToBytes("85 80");
    const auto start = PtyClient::Clock::now();
    for (int i = 0; i < exchanges; ++i)
        QCOMPARE(m_client.exchange(request, 2, 1000).size(), 2);
    const double ms = Ms(PtyClient::Clock::now() - start).count();
    const double wire = exchanges * wireMs(baud, 4);
    qInfo("%d exchanges at %d baud: %.1f ms, wire %.1f ms", exchanges, baud, ms, wire);
    QVERIFY2(ms >= wire * 0.99, qPrintable(QStringLiteral("%1 ms < wire %2 ms").arg(ms).arg(wire)));
    QVERIFY2(ms <= wire * (1 + slack) + 20, qPrintable(QStringLiteral("%1 ms for wire %2 ms").arg(ms).arg(wire)));
    QCOMPARE(m_bus->requestCount(), exchanges);
    QCOMPARE(m_bus->replyCount(), exchanges);
}

void TestSimTiming::longReplyIsPacedAbsolutely_data()
{
    QTest::addColumn<int>("baud");
    QTest::newRow("9600") << 9600;
    QTest::newRow("115200") << 115200;
}

void TestSimTiming::longReplyIsPacedAbsolutely()
{
    QFETCH(int, baud);

    // 202 reply bytes: a sleep per byte would add its own overshoot each
    // time and fall well behind the wire; absolute deadlines do not.
    m_bus->setBaud(baud);
    const QByteArray request = hexToBytes("85 90 02 C8");
    const int replyLength = 202;
    const auto start = PtyClient::Clock::now();
    QVERIFY(m_client.write(request));
    const QList<PtyClient::Chunk> chunks = m_client.readChunks(replyLength, 2000);
    int total = 0;
    for (const PtyClient::Chunk &c : chunks)
        total += int(c.bytes.size());
    QCOMPARE(total, replyLength);
    const double ms = Ms(chunks.last().at - start).count();
    const double wire = wireMs(baud, int(request.size()) + replyLength);
    qInfo("%d reply bytes at %d baud: %.2f ms, wire %.2f ms", replyLength, baud, ms, wire);
    QVERIFY2(ms >= wire * 0.99, qPrintable(QStringLiteral("%1 ms < wire %2 ms").arg(ms).arg(wire)));
    QVERIFY2(ms <= wire * 1.10 + 5, qPrintable(QStringLiteral("%1 ms for wire %2 ms").arg(ms).arg(wire)));
    // The bytes trickle in over the reply time instead of arriving at once.
    QVERIFY(chunks.size() > 5);
    const double firstMs = Ms(chunks.first().at - start).count();
    QVERIFY2(firstMs < wire / 2, qPrintable(QString::number(firstMs)));
}

void TestSimTiming::turnaround_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("turnaroundMs");

    QTest::newRow("none") << 0 << 0;
    QTest::newRow("20 ms") << 0 << 20;
    QTest::newRow("50 ms") << 0 << 50;
    QTest::newRow("9600 and 10 ms") << 9600 << 10;
}

void TestSimTiming::turnaround()
{
    QFETCH(int, baud);
    QFETCH(int, turnaroundMs);

    QVERIFY(m_bus->command(QStringLiteral("baud %1").arg(baud)));
    QVERIFY(m_bus->command(QStringLiteral("turnaround %1").arg(turnaroundMs)));
    QCOMPARE(m_bus->turnaround(), turnaroundMs);
    const auto start = PtyClient::Clock::now();
    QCOMPARE(m_client.exchange(hexToBytes("85 80"), 2, 1000), hexToBytes("85 07"));
    const double ms = Ms(PtyClient::Clock::now() - start).count();
    const double expected = turnaroundMs + wireMs(baud ? baud : 1, 4) * (baud ? 1 : 0);
    QVERIFY2(ms >= expected * 0.99, qPrintable(QString::number(ms)));
    QVERIFY2(ms < expected + 15, qPrintable(QString::number(ms)));
    // A reply never begins before the request has ended plus the turnaround.
    const QList<SimTraceEntry> trace = m_bus->trace();
    QCOMPARE(trace.size(), 2);
    QVERIFY(Ms(trace.at(1).start - trace.at(0).end).count() >= turnaroundMs);
}

void TestSimTiming::unpacedIsFast()
{
    const auto start = PtyClient::Clock::now();
    for (int i = 0; i < 300; ++i)
        QCOMPARE(m_client.exchange(hexToBytes("85 80"), 2, 500).size(), 2);
    const double ms = Ms(PtyClient::Clock::now() - start).count();
    QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
}

QTEST_GUILESS_MAIN(TestSimTiming)
#include "tst_simtiming.moc"
