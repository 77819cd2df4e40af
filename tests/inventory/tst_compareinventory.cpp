// `kelvaro-controller --compare-inventory OLD NEW` as a script runs it: the
// real executable, with no display to be had, its output and its exit code
// (0 no differences, 1 some, 2 trouble) for each kind of change and for
// files that are not inventories.
#include "inventory/inventory.h"
#include "inventory/inventoryfile.h"
#include "tests/support/workdir.h"

#include <QtTest>

#include <functional>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome run(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Nothing to show a window on: a QApplication would abort here.
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    process.setProcessEnvironment(env);
    process.start(qEnvironmentVariable("KC_BIN_DIR") + "/kelvaro-controller", arguments);
    Outcome o;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return o;
    o.exitCode = process.exitCode();
    o.out = QString::fromUtf8(process.readAllStandardOutput());
    o.err = QString::fromUtf8(process.readAllStandardError());
    return o;
}

// Six monitors, all read out.
Inventory bus()
{
    Inventory inv;
    inv.exported = QDateTime(QDate(2026, 5, 4), QTime(6, 0));
    inv.port = QStringLiteral("/dev/ttyUSB0");
    for (int a = 1; a <= 6; ++a) {
        InventoryEntry e;
        e.address = a;
        e.serialNumber = QStringLiteral("KV%1").arg(a, 4, 10, QLatin1Char('0'));
        e.firmware = QStringLiteral("1.9.05");
        e.state = QStringLiteral("NORMAL");
        inv.monitors << e;
    }
    return inv;
}

InventoryEntry &at(Inventory &inv, int address)
{
    for (InventoryEntry &e : inv.monitors) {
        if (e.address == address)
            return e;
    }
    qFatal("no monitor at %d", address);
}

using Edit = std::function<void(Inventory &)>;

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestCompareInventory : public QObject
{
    Q_OBJECT

private slots:
    // The earlier file as CSV, the later as JSON: the formats compare alike.
    // States, health and time stamps differ every time and are no change.
    void changes_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("expected");
        const auto upgrade = [](Inventory &i) { at(i, 2).firmware = "1.10.05"; };
        const auto downgrade = [](Inventory &i) { at(i, 3).firmware = "1.8.99"; };
        const auto move = [](Inventory &i) { at(i, 4).address = 40; };
        const auto gone = [](Inventory &i) { i.monitors.removeIf([](const InventoryEntry &e) { return e.address == 5; }); };
        const auto added = [](Inventory &i) {
            InventoryEntry e;
            e.address = 77;
            e.serialNumber = "KV0077";
            i.monitors << e;
        };
        QTest::newRow("none") << Edit([](Inventory &) {}) << "";
        QTest::newRow("upgrade") << Edit(upgrade) << "~ 2 KV0002 firmware upgraded 1.9.05 -> 1.10.05\n";
        QTest::newRow("downgrade") << Edit(downgrade) << "~ 3 KV0003 firmware downgraded 1.9.05 -> 1.8.99\n";
        QTest::newRow("moved") << Edit(move) << "~ 40 KV0004 moved from 4\n";
        QTest::newRow("gone") << Edit(gone) << "- 5 KV0005 gone\n";
        QTest::newRow("new") << Edit(added) << "+ 77 KV0077 new\n";
        QTest::newRow("swapped") << Edit([](Inventory &i) { std::swap(at(i, 1).serialNumber, at(i, 2).serialNumber); })
                                 << "~ 1 KV0002 moved from 2\n~ 2 KV0001 moved from 1\n";
        QTest::newRow("another serial at an address")
            << Edit([](Inventory &i) { at(i, 6).serialNumber = "KV 99"; }) << "- 6 KV0006 gone\n+ 6 \"KV 99\" new\n";
        QTest::newRow("serial not read yet") << Edit([](Inventory &i) { at(i, 1).serialNumber.clear(); }) << "";
        QTest::newRow("version not read yet") << Edit([](Inventory &i) { at(i, 1).firmware.clear(); }) << "";
        QTest::newRow("moved and upgraded")
            << Edit([](Inventory &i) { at(i, 4).address = 40; at(i, 40).firmware = "2.0"; })
            << "~ 40 KV0004 moved from 4\n~ 40 KV0004 firmware upgraded 1.9.05 -> 2.0\n";
        QTest::newRow("all at once") << Edit([=](Inventory &i) { added(i); gone(i); move(i); downgrade(i); upgrade(i); })
                                     << "~ 2 KV0002 firmware upgraded 1.9.05 -> 1.10.05\n"
                                        "~ 3 KV0003 firmware downgraded 1.9.05 -> 1.8.99\n"
                                        "- 5 KV0005 gone\n"
                                        "~ 40 KV0004 moved from 4\n"
                                        "+ 77 KV0077 new\n";
    }
    void changes()
    {
        QFETCH(Edit, edit);
        QFETCH(QString, expected);
        WorkDir dir;
        Inventory later = bus();
        later.exported = later.exported.addDays(30);
        later.port = "/dev/ttyUSB1";
        for (InventoryEntry &e : later.monitors) {
            e.state = "ALARM<MUTE>";
            e.failuresSinceSearch = 4;
            e.lastGoodReply = later.exported;
        }
        edit(later);
        QString error;
        QVERIFY(InventoryFile::write(dir.filePath("old.csv"), bus(), &error));
        QVERIFY(InventoryFile::write(dir.filePath("new.json"), later, &error));
        const Outcome o = run({"--compare-inventory", dir.filePath("old.csv"), dir.filePath("new.json")});
        QCOMPARE(o.err, QString());
        QCOMPARE(o.out, expected);
        QCOMPARE(o.exitCode, expected.isEmpty() ? 0 : 1);
    }

    void trouble_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "OK" stands for a good file
        QTest::addColumn<QString>("err");
        const QString usage = "usage: kelvaro-controller --compare-inventory OLD NEW\n";
        QTest::newRow("missing file") << QStringList{"--compare-inventory", "OK", "gone.csv"}
                                      << "kelvaro-controller: %1/gone.csv: No such file or directory\n";
        QTest::newRow("foreign") << QStringList{"--compare-inventory", "foreign.json", "OK"}
                                 << "kelvaro-controller: %1/foreign.json: not an inventory: JSON without \"format\": \"kelvaro-inventory\"\n";
        QTest::newRow("truncated") << QStringList{"--compare-inventory", "OK", "cut.csv"}
                                   << "kelvaro-controller: %1/cut.csv: line 7: the last row does not end with a line break (the file is cut short)\n";
        QTest::newRow("no operands") << QStringList{"--compare-inventory"} << usage;
        QTest::newRow("one operand") << QStringList{"--compare-inventory", "OK"} << usage;
        QTest::newRow("three operands") << QStringList{"--compare-inventory", "OK", "OK", "OK"} << usage;
        QTest::newRow("not first") << QStringList{"-v", "--compare-inventory", "OK", "OK"} << usage;
    }
    void trouble()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        WorkDir dir;
        QString error;
        QVERIFY(InventoryFile::write(dir.filePath("ok.csv"), bus(), &error));
        QFile cut(dir.filePath("cut.csv"));
        QFile foreign(dir.filePath("foreign.json"));
        QFile ok(dir.filePath("ok.csv"));
        QVERIFY(ok.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
        QVERIFY(cut.write(ok.readAll().chopped(3)) > 0); // in the first monitor's row
        QVERIFY(foreign.open(QIODevice::WriteOnly) && foreign.write(R"({"monitors": []})") > 0);
        cut.close();
        foreign.close();
        for (QString &argument : arguments) {
            if (argument == "OK")
                argument = dir.filePath("ok.csv");
            else if (!argument.startsWith('-'))
                argument = dir.filePath(argument);
        }
        const Outcome o = run(arguments);
        QCOMPARE(o.err, err.contains("%1") ? err.arg(dir.path()) : err);
        QCOMPARE(o.out, QString());
        QCOMPARE(o.exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestCompareInventory)
#include "tst_compareinventory.moc"
