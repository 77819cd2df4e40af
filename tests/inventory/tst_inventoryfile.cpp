// Inventory files as they lie on disk: what is written reads back equal, in
// either format, and whatever is not an inventory is refused with a message
// that names the file and the problem.
#include "inventory/inventory.h"
#include "inventory/inventoryfile.h"
#include "tests/support/workdir.h"

#include <QtTest>

namespace {

// Values that trip a careless writer: separators, quotes and line breaks in
// texts, non-ASCII, empty items, unknown figures, monitors out of order.
Inventory awkward()
{
    Inventory inv;
    inv.exported = QDateTime(QDate(2026, 3, 1), QTime(14, 5, 6, 789));
    inv.port = QStringLiteral("/dev/serial/by-id/usb-Bus, \"A\"-if00");
    inv.application = QStringLiteral("0.7.5");
    InventoryEntry a;
    a.address = 1;
    a.serialNumber = QStringLiteral("KV,0001");
    a.firmware = QStringLiteral("1.20");
    a.boardVersions = QStringList{"1.2.05", "3.0.17", "0.0.-3"};
    a.input = QStringLiteral("SDI 1");
    a.mode = QStringLiteral("1920x1080/59.94I");
    a.state = QStringLiteral("ALARM<MUTE>");
    a.lastGoodReply = QDateTime(QDate(2026, 3, 1), QTime(14, 5, 6, 1), Qt::UTC);
    a.medianExchangeUs = 2345;
    a.worstExchangeUs = 9000;
    a.failuresSinceSearch = 3;
    a.zombieEpisodes = 1;
    a.zombieMs = 4321;
    InventoryEntry b;
    b.address = 17;
    b.serialNumber = QStringLiteral("Müller \"Studio\"\r\nB ");
    b.state = QStringLiteral("ZOMBIE");
    InventoryEntry c;
    c.address = 126;
    c.firmware = QStringLiteral("1.9.05");
    c.input = QStringLiteral("77"); // a code without a name
    c.mode = QStringLiteral("モード");
    c.state = QStringLiteral("NORMAL");
    c.medianExchangeUs = 0;
    c.worstExchangeUs = 0;
    inv.monitors = {c, a, b};
    return inv;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray exported(WorkDir &dir, const QString &name, const Inventory &inv)
{
    QString error;
    const QString path = dir.filePath(name);
    if (!InventoryFile::write(path, inv, &error))
        qWarning("%s", qPrintable(error));
    return readBytes(path);
}

} // namespace

class TestInventoryFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("empty");
        QTest::newRow("csv") << "bus.csv" << false;
        QTest::newRow("json") << "bus.json" << false;
        QTest::newRow("upper-case suffix") << "BUS.CSV" << false;
        QTest::newRow("csv, no monitors") << "none.csv" << true;
        QTest::newRow("json, no monitors") << "none.json" << true;
    }
    void roundTrip()
    {
        QFETCH(QString, name);
        QFETCH(bool, empty);
        WorkDir dir;
        Inventory written = awkward();
        if (empty)
            written.monitors.clear();
        QString error;
        QVERIFY2(InventoryFile::write(dir.filePath(name), written, &error), qPrintable(error));
        Inventory read;
        QVERIFY2(InventoryFile::read(dir.filePath(name), &read, &error), qPrintable(error));
        written.sortByAddress();
        QCOMPARE(read.monitors.size(), written.monitors.size());
        for (int i = 0; i < read.monitors.size(); ++i)
            QVERIFY2(read.monitors.at(i) == written.monitors.at(i), qPrintable(QString::number(i)));
        QVERIFY(read == written);
        // Written again, the file is byte for byte the same.
        QString again = dir.filePath("again." + QFileInfo(name).suffix());
        QVERIFY(InventoryFile::write(again, read, &error));
        QCOMPARE(readBytes(again), readBytes(dir.filePath(name)));
    }

    // What a spreadsheet or a script sees: the header, then a row per
    // monitor that starts with when and where it was taken.
    void csvShape()
    {
        WorkDir dir;
        const QList<QByteArray> lines = exported(dir, "bus.csv", awkward()).split('\n');
        QCOMPARE(lines.first(), QByteArray("exported,port,application,address,serial,firmware,boards,input,mode,"
                                           "state,last_good_reply,median_exchange_us,worst_exchange_us,"
                                           "failures_since_search,zombie_episodes,zombie_ms\r"));
        const QDateTime taken(QDate(2026, 3, 1), QTime(14, 5, 6, 789)); // local, written with its offset
        const QByteArray firstRow = taken.toOffsetFromUtc(taken.offsetFromUtc()).toString(Qt::ISODateWithMs).toUtf8()
            + ",\"/dev/serial/by-id/usb-Bus, \"\"A\"\"-if00\",0.7.5,1,\"KV,0001\",1.20,1.2.05 3.0.17 0.0.-3,SDI 1,"
              "1920x1080/59.94I,ALARM<MUTE>,2026-03-01T14:05:06.001Z,2345,9000,3,1,4321\r";
        QCOMPARE(lines.at(1), firstRow);
    }

    void refused_data()
    {
        WorkDir dir;
        const QByteArray csv = exported(dir, "ok.csv", awkward());
        const QByteArray json = exported(dir, "ok.json", awkward());
        const int header = csv.indexOf('\n') + 1;
        const QByteArray row1 = csv.mid(header, csv.indexOf('\n', header) + 1 - header);
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk += char((i * 7919) % 256);

        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        QTest::newRow("foreign csv") << "a.csv" << QByteArray("name,size\r\nx,1\r\n") << "not an inventory: the first row";
        QTest::newRow("foreign json") << "a.json" << QByteArray(R"({"name": "x"})") << "not an inventory: JSON without \"format\"";
        QTest::newRow("json array") << "a.json" << QByteArray("[1, 2]") << "not an inventory: JSON without";
        QTest::newRow("junk as csv") << "a.csv" << junk << "not an inventory: not UTF-8 text";
        QTest::newRow("junk as json") << "a.json" << junk << "not an inventory: no valid JSON";
        QTest::newRow("csv cut in a row") << "a.csv" << csv.chopped(4) << "does not end with a line break";
        QTest::newRow("csv cut in a quote") << "a.csv" << csv.left(csv.indexOf("\"KV,") + 3) << "a quoted field does not end";
        QTest::newRow("csv header only") << "a.csv" << csv.left(header) << "no rows after the header";
        QTest::newRow("csv row short") << "a.csv" << csv.left(header) + "x,y,z\r\n" << "line 2: 3 fields, expected 16";
        QTest::newRow("json cut") << "a.json" << json.left(json.size() / 2) << "no valid JSON";
        QTest::newRow("csv address twice") << "a.csv" << csv + row1 << "address 1 occurs twice";
        QTest::newRow("csv address 127") << "a.csv" << csv.left(header) + QByteArray(row1).replace(",0.7.5,1,", ",0.7.5,127,")
                                         << "address 127 is not a bus address (1 to 126)";
        QTest::newRow("csv address text") << "a.csv" << csv.left(header) + QByteArray(row1).replace(",0.7.5,1,", ",0.7.5,one,")
                                          << "the address \"one\" is not a number";
        QTest::newRow("json address twice") << "a.json" << QByteArray(json).replace("\"address\": 17", "\"address\": 126")
                                            << "address 126 occurs twice";
        QTest::newRow("json address 0") << "a.json" << QByteArray(json).replace("\"address\": 17", "\"address\": 0")
                                        << "monitor 2: \"address\" is not a whole number from 1 to 126";
        QTest::newRow("json figure text") << "a.json" << QByteArray(json).replace("\"zombieMs\": 4321", "\"zombieMs\": \"x\"")
                                          << "\"zombieMs\" is not a whole number";
        QTest::newRow("json newer") << "a.json" << QByteArray(json).replace("\"version\": 1", "\"version\": 7")
                                    << "format version 7 is newer than this program reads (1)";
        QTest::newRow("empty") << "a.csv" << QByteArray() << "empty, not an inventory";
        QTest::newRow("huge") << "a.json" << QByteArray(InventoryFile::MaxSize + 1, ' ') << "larger than 16 MiB";
        QTest::newRow("other suffix") << "a.txt" << csv << "the name does not end in .csv or .json";
    }
    void refused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        WorkDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(writeBytes(path, bytes));
        Inventory untouched = awkward();
        QString error;
        QVERIFY(!InventoryFile::read(path, &untouched, &error));
        QVERIFY2(error.startsWith(path + ": ") && error.contains(problem), qPrintable(error));
        QVERIFY(untouched == awkward());
    }

    // Neither a missing file nor a folder reads, and a failed write leaves
    // the file that was there.
    void unreachable()
    {
        WorkDir dir;
        Inventory inv;
        QString error;
        QVERIFY(!InventoryFile::read(dir.filePath("gone.csv"), &inv, &error));
        QVERIFY2(error.contains("gone.csv: No such file"), qPrintable(error));
        QVERIFY(QDir(dir.path()).mkdir("folder.json"));
        QVERIFY(!InventoryFile::read(dir.filePath("folder.json"), &inv, &error));
        QVERIFY2(error.endsWith("folder.json: a folder, not an inventory"), qPrintable(error));
        QVERIFY(!InventoryFile::write(dir.filePath("bus.xlsx"), awkward(), &error));
        QVERIFY2(error.endsWith("bus.xlsx: an inventory is written as .csv or .json"), qPrintable(error));
        QVERIFY(!InventoryFile::write(dir.filePath("folder.json/x/y.csv"), awkward(), &error));
        QVERIFY(error.startsWith(dir.filePath("folder.json/x/y.csv: ")));
    }
};

QTEST_GUILESS_MAIN(TestInventoryFile)
#include "tst_inventoryfile.moc"
