// Faults of single monitors and of the whole device, seen from the line.

#include "ptyclient.h"
#include "simbus.h"

#include <QtTest>

#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Ms = std::chrono::duration<double, std::milli>;

bool pathExists(const QString &path)
{
    struct stat st{};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0;
}

} // namespace

class TestSimFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void replyFaults_data();
    void replyFaults();
    void splitReplyArrivesInPieces_data();
    void splitReplyArrivesInPieces();
    void lateReplyStillComes();
    void diesAfter_data();
    void diesAfter();
    void faultNoneHeals();
    void vanishAndReappear();
    void vanishAndReappearRefused();
    void faultsStayPerAddress();

private:
    std::unique_ptr<SimBus> m_bus;
    PtyClient m_client;
    std::mutex m_messagesMutex; // the bus may print from its own thread
    QStringList m_messages;
};

void TestSimFaults::init()
{
    m_bus = std::make_unique<SimBus>();
    QString error;
    QVERIFY2(m_bus->start(&error), qPrintable(error));
    QVERIFY(m_client.open(m_bus->devicePath()));
    QVERIFY(m_bus->addMonitor(5));
    QVERIFY(m_bus->addMonitor(6));
}

void TestSimFaults::cleanup()
{
    m_client.close();
    m_bus.reset();
    m_messages.clear();
}

void TestSimFaults::replyFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");     // after any stray bytes
    QTest::addColumn<int>("strayBytes");       // expected before the sync byte
    QTest::addColumn<int>("minMs");            // earliest arrival of the last byte

    QTest::newRow("healthy") << "none" << hexToBytes("85 80") << hexToBytes("85 07") << 0 << 0;
    QTest::newRow("silence") << "silence" << hexToBytes("85 80") << QByteArray() << 0 << 0;
    QTest::newRow("silence on queries too") << "silence" << hexToBytes("85 90 02 02") << QByteArray() << 0 << 0;
    QTest::newRow("noise, default") << "noise" << hexToBytes("85 80") << hexToBytes("85 07") << 3 << 0;
    QTest::newRow("noise, 7 bytes") << "noise 7" << hexToBytes("85 82") << hexToBytes("85 00") << 7 << 0;
    QTest::newRow("late 150 ms") << "late 150" << hexToBytes("85 80") << hexToBytes("85 07") << 0 << 150;
    QTest::newRow("late in seconds") << "late 1s" << hexToBytes("85 81") << hexToBytes("85 07") << 0 << 1000;
    QTest::newRow("bad alarm, default") << "badalarm" << hexToBytes("85 82") << hexToBytes("85 05") << 0 << 0;
    QTest::newRow("bad alarm 0x12") << "badalarm 0x12" << hexToBytes("85 82") << hexToBytes("85 12") << 0 << 0;
    QTest::newRow("bad alarm spares echo") << "badalarm" << hexToBytes("85 80") << hexToBytes("85 07") << 0 << 0;
    QTest::newRow("wrong item") << "wrongitem" << hexToBytes("85 90 12 02") << hexToBytes("85 13 06 09") << 0 << 0;
    QTest::newRow("wrong item keeps length") << "wrongitem" << hexToBytes("85 90 02 03")
                                             << hexToBytes("85 03 4B 56 30") << 0 << 0;
    QTest::newRow("no query: queries unanswered") << "noquery" << hexToBytes("85 90 02 02") << QByteArray() << 0 << 0;
    QTest::newRow("no query: polls answered") << "noquery" << hexToBytes("85 80") << hexToBytes("85 07") << 0 << 0;
}

void TestSimFaults::replyFaults()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(int, strayBytes);
    QFETCH(int, minMs);

    QString error;
    QVERIFY2(m_bus->command(QStringLiteral("fault 5 ") + fault, &error), qPrintable(error));
    const auto start = PtyClient::Clock::now();
    QVERIFY(m_client.write(request));
    const int expected = int(reply.size()) + strayBytes;
    const QByteArray got = expected ? m_client.read(expected, minMs + 500) : m_client.drain(200);
    const double ms = Ms(PtyClient::Clock::now() - start).count();
    QCOMPARE(got.size(), expected);
    for (int i = 0; i < strayBytes; ++i)
        QVERIFY2(!(quint8(got.at(i)) & 0x80), "a stray byte could pass for a sync byte");
    QCOMPARE(got.mid(strayBytes), reply);
    if (expected)
        QVERIFY2(ms >= minMs, qPrintable(QString::number(ms)));
    QVERIFY(m_client.drain(30).isEmpty());
    // Whatever went wrong, the request itself was heard.
    QCOMPARE(m_bus->monitor(5)->requests, 1);
    QCOMPARE(m_bus->monitor(5)->fault.toString(), SimFault::parse(fault.split(' '))->toString());
}

void TestSimFaults::splitReplyArrivesInPieces_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("pieces");

    QTest::newRow("echo") << hexToBytes("85 80") << hexToBytes("85 07") << 2;
    QTest::newRow("update") << hexToBytes("85 83") << hexToBytes("85 01 3F") << 3;
    QTest::newRow("serial number") << hexToBytes("85 90 02 0A") << hexToBytes("85 02 4B 56 30 30 30 35 00 00 00 00") << 3;
}

void TestSimFaults::splitReplyArrivesInPieces()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(int, pieces);

    const int pauseMs = 60;
    QVERIFY(m_bus->setFault(5, SimFault(SimFault::Split, pauseMs)));
    QVERIFY(m_client.write(request));
    const QList<PtyClient::Chunk> chunks = m_client.readChunks(int(reply.size()), 1000);
    QByteArray all;
    for (const PtyClient::Chunk &c : chunks)
        all += c.bytes;
    QCOMPARE(all, reply);

    // Pieces are told apart by the pauses between them.
    int seen = 1;
    for (int i = 1; i < chunks.size(); ++i) {
        if (Ms(chunks.at(i).at - chunks.at(i - 1).at).count() >= pauseMs * 0.8)
            ++seen;
    }
    QCOMPARE(seen, pieces);
    const double span = Ms(chunks.last().at - chunks.first().at).count();
    QVERIFY2(span >= (pieces - 1) * pauseMs * 0.95, qPrintable(QString::number(span)));
}

void TestSimFaults::lateReplyStillComes()
{
    // A controller gives up on a late reply; the monitor sends it anyway and
    // a later request sees it first, as on a real line.
    QVERIFY(m_bus->setFault(5, SimFault(SimFault::Late, 200)));
    QVERIFY(m_client.write(hexToBytes("85 80")));
    QVERIFY(m_client.read(2, 100).isEmpty());
    QVERIFY(m_client.write(hexToBytes("86 80")));
    QCOMPARE(m_client.read(4, 1000), hexToBytes("85 07 86 07"));
}

void TestSimFaults::diesAfter_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("answered"); // echoes answered before the silence
    QTest::addColumn<int>("waitMs");   // pause before the polls after those

    QTest::newRow("after 3 polls") << "dies-after 3 polls" << 3 << 0;
    QTest::newRow("after 0 polls") << "dies-after 0 polls" << 0 << 0;
    QTest::newRow("after 200 ms") << "dies-after 200ms" << 2 << 250;
    QTest::newRow("after 1 s") << "dies-after 1s" << 1 << 1050;
}

void TestSimFaults::diesAfter()
{
    QFETCH(QString, fault);
    QFETCH(int, answered);
    QFETCH(int, waitMs);

    QString error;
    QVERIFY2(m_bus->command(QStringLiteral("fault 5 ") + fault, &error), qPrintable(error));
    for (int i = 0; i < answered; ++i)
        QCOMPARE(m_client.exchange(hexToBytes("85 80"), 2, 300), hexToBytes("85 07"));
    // Queries do not count as polls and are answered while it lives.
    if (answered > 0)
        QCOMPARE(m_client.exchange(hexToBytes("85 90 12 01"), 3, 300), hexToBytes("85 12 06"));
    QVERIFY(!m_bus->monitor(5)->dead);
    QTest::qWait(waitMs);
    QVERIFY(m_client.exchange(hexToBytes("85 80"), 2, 150).isEmpty());
    QVERIFY(m_client.exchange(hexToBytes("85 80"), 2, 150).isEmpty());
    QVERIFY(m_bus->monitor(5)->dead);
    QVERIFY(m_bus->statusText().contains(QLatin1String("(dead)")));
    // The neighbour is unaffected.
    QCOMPARE(m_client.exchange(hexToBytes("86 80"), 2, 300), hexToBytes("86 07"));
}

void TestSimFaults::faultNoneHeals()
{
    QVERIFY(m_bus->command(QStringLiteral("fault 5 dies-after 0 polls")));
    QVERIFY(m_client.exchange(hexToBytes("85 80"), 2, 150).isEmpty());
    QVERIFY(m_bus->command(QStringLiteral("fault 5 none")));
    QVERIFY(!m_bus->monitor(5)->dead);
    QCOMPARE(m_client.exchange(hexToBytes("85 80"), 2, 300), hexToBytes("85 07"));
}

void TestSimFaults::faultsStayPerAddress()
{
    QVERIFY(m_bus->command(QStringLiteral("fault 5 silence")));
    QVERIFY(m_bus->command(QStringLiteral("fault 6 badalarm 0x20")));
    QVERIFY(m_client.exchange(hexToBytes("85 82"), 2, 150).isEmpty());
    QCOMPARE(m_client.exchange(hexToBytes("86 82"), 2, 300), hexToBytes("86 20"));
    QVERIFY(m_bus->command(QStringLiteral("fault all none")));
    QCOMPARE(m_client.exchange(hexToBytes("85 82"), 2, 300), hexToBytes("85 00"));
    QCOMPARE(m_client.exchange(hexToBytes("86 82"), 2, 300), hexToBytes("86 00"));
}

void TestSimFaults::vanishAndReappear()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    QString error;
    QVERIFY2(m_bus->setLinkPath(link, &error), qPrintable(error));
    const QString oldPath = m_bus->devicePath();
    QCOMPARE(QFileInfo(link).symLinkTarget(), oldPath);
    QCOMPARE(m_client.exchange(hexToBytes("85 80"), 2), hexToBytes("85 07"));

    m_bus->setMessageHandler([this](const QString &line) {
        std::lock_guard<std::mutex> lock(m_messagesMutex);
        m_messages << line;
    });

    QVERIFY(m_bus->command(QStringLiteral("vanish")));
    QVERIFY(m_bus->isVanished());
    QVERIFY(!m_bus->isRunning());
    QVERIFY(m_bus->devicePath().isEmpty());
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    // The open port sees the device go: a hang-up, and nothing to read.
    QVERIFY(m_client.waitEvents(200) & (POLLHUP | POLLERR));
    char byte;
    QVERIFY(::read(m_client.fd(), &byte, 1) <= 0);
    // Nobody can open it any more.
    PtyClient other;
    QVERIFY(!other.open(oldPath) || !pathExists(oldPath));
    m_client.close();
    QVERIFY(!pathExists(oldPath));

    QVERIFY2(m_bus->command(QStringLiteral("reappear"), &error), qPrintable(error));
    QVERIFY(m_bus->isRunning());
    const QString newPath = m_bus->devicePath();
    QVERIFY(pathExists(newPath));
    QCOMPARE(QFileInfo(link).symLinkTarget(), newPath);
    {
        std::lock_guard<std::mutex> lock(m_messagesMutex);
        QCOMPARE(m_messages, (QStringList{QStringLiteral("device gone"), QStringLiteral("device ") + newPath}));
    }

    // The monitors were kept, through the link as a controller would go.
    QVERIFY(m_client.open(link));
    QCOMPARE(m_client.exchange(hexToBytes("85 80"), 2), hexToBytes("85 07"));
    QCOMPARE(m_bus->monitor(5)->requests, 2);

    m_bus->stop();
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSimFaults::vanishAndReappearRefused()
{
    QString error;
    QVERIFY(!m_bus->reappear(&error));
    QVERIFY(error.contains(QLatin1String("not vanished")));
    QVERIFY(m_bus->vanish());
    QVERIFY(!m_bus->vanish());
    QVERIFY(!m_bus->command(QStringLiteral("vanish"), &error));
    QVERIFY(error.contains(QLatin1String("no device")));
    QVERIFY(m_bus->reappear(&error));
    QVERIFY(!m_bus->command(QStringLiteral("reappear"), &error));
    // A link path that is a real file is never replaced.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("plain"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(!m_bus->setLinkPath(file, &error));
    QVERIFY(error.contains(QLatin1String("not a symbolic link")));
    QVERIFY(QFileInfo(file).isFile());
    // A bus that cannot make its link does not start half-way.
    SimBus other;
    QVERIFY(other.setLinkPath(file));
    QVERIFY(!other.start(&error));
    QVERIFY(!other.isRunning());
    QVERIFY(other.devicePath().isEmpty());
    QVERIFY(QFileInfo(file).isFile());
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
