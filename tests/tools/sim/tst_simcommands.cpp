// The command language of scenario files and standard input.

#include "tools/sim/simbus.h"
#include "tools/sim/simcommand.h"
#include "tools/sim/simfault.h"
#include "tools/sim/simscenario.h"

#include <QtTest>

#include <random>

class TestSimCommands : public QObject
{
    Q_OBJECT

private slots:
    void tokenize_data();
    void tokenize();
    void numbers_data();
    void numbers();
    void addresses_data();
    void addresses();
    void faultRoundTrip_data();
    void faultRoundTrip();
    void syntaxErrors_data();
    void syntaxErrors();
    void busErrors_data();
    void busErrors();
    void failedLineChangesNothing();
    void addFields();
    void statusAndHelpPrinted();
    void quitHandler();
    void scenarioReportsLines();
    void scenarioWaitsAndCancels();
    void garbageLinesNeverCrash();
};

void TestSimCommands::tokenize_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("plain") << "add 5 power=on" << QStringList{"add", "5", "power=on"};
    QTest::newRow("comment") << "power 5 off # later" << QStringList{"power", "5", "off"};
    QTest::newRow("quoted blank") << "set 5 sn \"KV 01\"" << QStringList{"set", "5", "sn", "KV 01"};
    QTest::newRow("hash inside quotes") << "set 5 sn \"#1\"" << QStringList{"set", "5", "sn", "#1"};
    QTest::newRow("empty quotes") << "set 5 sn \"\"" << QStringList{"set", "5", "sn", ""};
}

void TestSimCommands::tokenize()
{
    QFETCH(QString, line);
    QFETCH(QStringList, words);
    QStringList got;
    QVERIFY(SimCommand::tokenize(line, &got));
    QCOMPARE(got, words);
}

void TestSimCommands::numbers_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("ms"); // as a duration without required unit; -1 invalid

    QTest::newRow("decimal") << "42" << true << qint64(42) << 42;
    QTest::newRow("hex") << "0x1F" << true << qint64(31) << -1;
    QTest::newRow("seconds") << "2s" << false << qint64(0) << 2000;
    QTest::newRow("milliseconds") << "250ms" << false << qint64(0) << 250;
    QTest::newRow("empty hex") << "0x" << false << qint64(0) << -1;
    QTest::newRow("letters") << "12ab" << false << qint64(0) << -1;
    QTest::newRow("huge") << "99999999999999999999" << false << qint64(0) << -1;
    QTest::newRow("over an hour") << "3601s" << false << qint64(0) << -1;
}

void TestSimCommands::numbers()
{
    QFETCH(QString, word);
    QFETCH(bool, valid);
    QFETCH(qint64, value);
    QFETCH(int, ms);

    const std::optional<qint64> n = SimCommand::parseNumber(word);
    QCOMPARE(bool(n), valid);
    if (valid)
        QCOMPARE(*n, value);
    const std::optional<int> d = SimCommand::parseDurationMs(word, false);
    QCOMPARE(d ? *d : -1, ms);
}

void TestSimCommands::addresses_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QList<int>>("expected"); // empty: invalid
    QTest::addColumn<bool>("all");

    QTest::newRow("single") << "5" << QList<int>{5} << false;
    QTest::newRow("range") << "3-6" << QList<int>{3, 4, 5, 6} << false;
    QTest::newRow("list") << "9,1,0x10" << QList<int>{9, 1, 16} << false;
    QTest::newRow("list with range, no duplicates") << "1,2-3,2" << QList<int>{1, 2, 3} << false;
    QTest::newRow("all") << "ALL" << QList<int>{} << true;
    QTest::newRow("zero") << "0" << QList<int>{} << false;
    QTest::newRow("127") << "127" << QList<int>{} << false;
    QTest::newRow("reversed") << "6-3" << QList<int>{} << false;
}

void TestSimCommands::addresses()
{
    QFETCH(QString, word);
    QFETCH(QList<int>, expected);
    QFETCH(bool, all);
    QList<quint8> got;
    bool gotAll = false;
    QString error;
    QCOMPARE(SimCommand::parseAddresses(word, &got, &gotAll, &error), all || !expected.isEmpty());
    QCOMPARE(gotAll, all);
    QCOMPARE(QList<int>(got.cbegin(), got.cend()), expected);
    QCOMPARE(error.contains(word), !all && expected.isEmpty()); // a refusal names the word
}

void TestSimCommands::faultRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("canonical");

    QTest::newRow("none") << "none" << int(SimFault::None) << 0 << "none";
    QTest::newRow("silence") << "SILENCE" << int(SimFault::Silence) << 0 << "silence";
    QTest::newRow("noise default") << "noise" << int(SimFault::Noise) << SimFault::DefaultNoiseBytes << "noise 3";
    QTest::newRow("split 25") << "split 25ms" << int(SimFault::Split) << 25 << "split 25";
    QTest::newRow("late default") << "late" << int(SimFault::Late) << SimFault::DefaultLateMs << "late 800";
    QTest::newRow("badalarm") << "badalarm 0x0B" << int(SimFault::BadAlarm) << 0x0B << "badalarm 0x0b";
    QTest::newRow("wrongitem") << "wrongitem" << int(SimFault::WrongItem) << 0 << "wrongitem";
    QTest::newRow("noquery") << "noquery" << int(SimFault::NoQueries) << 0 << "noquery";
    QTest::newRow("dies 30 s") << "dies-after 30s" << int(SimFault::DiesAfterMs) << 30000 << "dies-after 30s";
    QTest::newRow("dies 20 polls") << "dies-after 20 polls" << int(SimFault::DiesAfterPolls) << 20 << "dies-after 20 polls";
}

void TestSimCommands::faultRoundTrip()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, value);
    QFETCH(QString, canonical);
    for (const QString &t : {text, canonical}) { // the canonical form reads back the same
        const std::optional<SimFault> fault = SimFault::parse(t.split(QLatin1Char(' ')));
        QVERIFY(fault);
        QCOMPARE(int(fault->kind), kind);
        QCOMPARE(fault->value, value);
        QCOMPARE(fault->toString(), canonical);
    }
}

void TestSimCommands::syntaxErrors_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown verb") << "frob 5" << "unknown command 'frob'";
    QTest::newRow("address 0") << "add 0" << "bad address '0'";
    QTest::newRow("add all") << "add all" << "'all' is not an address";
    QTest::newRow("missing address") << "remove" << "missing argument";
    QTest::newRow("power word") << "power 5 maybe" << "power must be on or off";
    QTest::newRow("add unknown field") << "add 5 colour=red" << "unknown field 'colour'";
    QTest::newRow("add no value") << "add 5 sn" << "expected key=value";
    QTest::newRow("add rotary count") << "add 5 rotary=1,2,3" << "five levels";
    QTest::newRow("add boards odd") << "add 5 boards=123" << "bad board versions";
    QTest::newRow("alarm range") << "alarm 5 0x100" << "bad alarm byte '0x100'";
    QTest::newRow("set no item") << "set 5" << "set needs an item";
    QTest::newRow("set unknown item") << "set 5 colour 3" << "unknown item 'colour'";
    QTest::newRow("set no value") << "set 5 sn" << "set sn needs a value";
    QTest::newRow("set rotary index") << "set 5 rotary 6 1" << "bad rotary number '6'";
    QTest::newRow("set functions") << "set 5 functions 0x100000000" << "bad functions";
    QTest::newRow("unterminated quote") << "set 5 sn \"open" << "unterminated quote";
    QTest::newRow("unknown key") << "key 5 TURBO" << "unknown key 'TURBO'";
    QTest::newRow("fault kind") << "fault 5 explode" << "unknown fault 'explode'";
    QTest::newRow("fault late negative") << "fault 5 late -3" << "bad late value '-3'";
    QTest::newRow("fault noise zero") << "fault 5 noise 0" << "bad noise value '0'";
    QTest::newRow("fault silence arg") << "fault 5 silence 3" << "takes no argument";
    QTest::newRow("dies without unit") << "fault 5 dies-after 20" << "dies-after needs a time or a poll count";
    QTest::newRow("wait word") << "wait soon" << "bad time 'soon'";
    QTest::newRow("trace word") << "trace loud" << "trace must be on or off";
    QTest::newRow("baud too low") << "baud 10" << "bad baud rate '10'";
    QTest::newRow("turnaround too long") << "turnaround 11s" << "bad turnaround '11s'";
    QTest::newRow("vanish argument") << "vanish now" << "too many arguments";
    QTest::newRow("reappear argument") << "reappear soon" << "reappear takes nothing or newnode, not 'soon'";
    QTest::newRow("silence one monitor") << "silence 5" << "silence takes all or none, not '5'";
    QTest::newRow("silence nothing") << "silence" << "missing argument";
}

void TestSimCommands::syntaxErrors()
{
    QFETCH(QString, line);
    QFETCH(QString, message);

    QString error;
    QVERIFY(!SimCommand::parse(line, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
    // The bus refuses the same line with the same reason.
    SimBus bus;
    QString busError;
    QVERIFY(!bus.command(line, &busError));
    QCOMPARE(busError, error);
}

void TestSimCommands::busErrors_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");

    QTest::newRow("no monitor") << QStringList{} << "power 9 on" << "no monitor at address 9";
    QTest::newRow("already there") << QStringList{"add 5"} << "add 4-6" << "address 5 already has a monitor";
    QTest::newRow("wait on stdin") << QStringList{} << "wait 10" << "only works in scenario files";
    QTest::newRow("reappear unvanished") << QStringList{} << "reappear" << "has not vanished";
    QTest::newRow("new node unvanished") << QStringList{} << "reappear newnode" << "has not vanished";
    QTest::newRow("vanish while stopped") << QStringList{} << "vanish" << "no device to vanish";
}

void TestSimCommands::busErrors()
{
    QFETCH(QStringList, before);
    QFETCH(QString, line);
    QFETCH(QString, message);

    SimBus bus;
    for (const QString &l : before)
        QVERIFY(bus.command(l));
    QVERIFY(SimCommand::parse(line)); // well-formed, but the bus says no
    QString error;
    QVERIFY(!bus.command(line, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
}

void TestSimCommands::failedLineChangesNothing()
{
    // Every named address is checked before any monitor changes.
    SimBus bus;
    QVERIFY(bus.command(QStringLiteral("add 5,7 power=off")));
    QVERIFY(!bus.command(QStringLiteral("power 5,6,7 on")));
    QVERIFY(!bus.monitor(5)->power && !bus.monitor(7)->power);
    QVERIFY(!bus.command(QStringLiteral("add 8-10,7")));
    QCOMPARE(bus.addresses(), (QList<quint8>{5, 7}));
    QVERIFY(bus.command(QStringLiteral("power all on")));
    QVERIFY(bus.monitor(5)->power && bus.monitor(7)->power);
    QVERIFY(bus.command(QStringLiteral("remove all")));
    QVERIFY(bus.addresses().isEmpty());
    QVERIFY(bus.command(QStringLiteral("fault all silence"))); // nobody left: nothing to do
    QVERIFY(bus.command(QStringLiteral("   # only a comment")));
}

void TestSimCommands::addFields()
{
    // What the line shows of each field is checked through the
    // pseudo-terminal; here the report flags and the defaults.
    SimBus bus;
    QVERIFY(bus.command(QStringLiteral("add 7 power=off alarm=0x10 sn=\"AB 12\" boards=0102")));
    const SimMonitorState s = *bus.monitor(7);
    QVERIFY(s.alarmDue && !s.updateDue);
    QCOMPARE(s.serialNumber, QStringLiteral("AB 12"));
    QCOMPARE(s.boardVersions, QByteArray::fromHex("01020000000000000000"));
    QVERIFY(bus.command(QStringLiteral("add 10-12")));
    for (quint8 a : {10, 11, 12}) {
        const SimMonitorState d = *bus.monitor(a);
        QVERIFY(d.power && d.alarmDue && d.updateDue);
        QCOMPARE(int(d.changedMask), 0x3F);
        QCOMPARE(d.serialNumber, QStringLiteral("KV%1").arg(a, 4, 10, QLatin1Char('0')));
    }
}

void TestSimCommands::statusAndHelpPrinted()
{
    SimBus bus;
    QStringList lines;
    bus.setMessageHandler([&](const QString &line) { lines << line; });
    QVERIFY(bus.command(QStringLiteral("add 3 alarm=0x08 sn=KV10A003")));
    QVERIFY(bus.command(QStringLiteral("add 4 power=off")));
    QVERIFY(bus.command(QStringLiteral("fault 4 late 900")));
    QVERIFY(bus.command(QStringLiteral("status")));
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).startsWith(QLatin1String("bus (stopped)")));
    QVERIFY(lines.at(1).contains(QLatin1String("  3 on  alarm=0x08 due=alarm,update")) && lines.at(1).contains(QLatin1String("sn=KV10A003")));
    QVERIFY(lines.at(2).contains(QLatin1String("  4 off")) && lines.at(2).contains(QLatin1String("fault=\"late 900\"")));
    lines.clear();
    QVERIFY(bus.command(QStringLiteral("status 4")));
    QCOMPARE(lines.size(), 2);
    lines.clear();
    QVERIFY(bus.command(QStringLiteral("help")));
    QVERIFY(lines.join(QLatin1Char('\n')).contains(QLatin1String("dies-after")));
    QVERIFY(lines.join(QLatin1Char('\n')).contains(QLatin1String("reappear [newnode] | silence all|none")));
}

void TestSimCommands::quitHandler()
{
    SimBus bus;
    QVERIFY(bus.start());
    QVERIFY(bus.command(QStringLiteral("quit")));
    QVERIFY(!bus.isRunning()); // without a handler it stops the bus

    QVERIFY(bus.start());
    int calls = 0;
    bus.setQuitHandler([&] { ++calls; });
    QVERIFY(bus.command(QStringLiteral("quit")));
    QCOMPARE(calls, 1);
    QVERIFY(bus.isRunning());
}

void TestSimCommands::scenarioReportsLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("story.sim"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# a short story\nadd 5 sn=KV0005\n\n"
               "frobnicate 5\n"      // 4: refused on loading
               "power 9 off\n"       // 5: no such monitor, refused when played
               "alarm 5 0x08   # muted\n"
               "set 5 rotary 9 0\n"  // 7: refused on loading
               "fault 5 late 900\n");
    file.close();

    SimScenario scenario;
    QString error;
    QVERIFY(scenario.load(path, &error));
    QCOMPARE(scenario.lineCount(), 4);
    QCOMPARE(scenario.errors().size(), 2);
    QVERIFY(scenario.errors().at(0).startsWith(path + QStringLiteral(":4: unknown command 'frobnicate'")));
    QVERIFY(scenario.errors().at(0).endsWith(QLatin1String("'frobnicate 5'")));
    QVERIFY(scenario.errors().at(1).startsWith(path + QStringLiteral(":7: bad rotary number '9'")));
    SimBus bus;
    QStringList playErrors;
    QCOMPARE(scenario.play(bus, [&](const QString &e) { playErrors << e; }), 1);
    QCOMPARE(playErrors.size(), 1);
    QVERIFY(playErrors.at(0).startsWith(path + QStringLiteral(":5: no monitor at address 9")));
    // The good lines took effect, in order.
    QCOMPARE(int(bus.monitor(5)->alarm), 0x08);
    QCOMPARE(bus.monitor(5)->fault.toString(), QStringLiteral("late 900"));
    QVERIFY(!SimScenario().load(dir.filePath(QStringLiteral("absent.sim")), &error));
    QVERIFY(error.contains(QLatin1String("absent.sim")));
}

void TestSimCommands::scenarioWaitsAndCancels()
{
    SimBus bus;
    SimScenario scenario;
    scenario.setText(QStringLiteral("inline"), QStringLiteral("add 5\nwait 150\npower 5 off\n"));
    QVERIFY(scenario.errors().isEmpty());
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(scenario.play(bus, nullptr), 0);
    QVERIFY(timer.elapsed() >= 150);
    QVERIFY(!bus.monitor(5)->power);

    SimScenario longOne;
    longOne.setText(QStringLiteral("long"), QStringLiteral("add 6\nwait 10s\nremove 6\n"));
    std::thread player([&] { longOne.play(bus, nullptr); });
    QTRY_VERIFY(bus.monitor(6).has_value());
    timer.restart();
    longOne.cancel();
    player.join();
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(bus.monitor(6).has_value()); // the line after the wait never ran
}

void TestSimCommands::garbageLinesNeverCrash()
{
    // Lines of random words and bytes: every one gets an answer, and every
    // refusal says why.
    SimBus bus;
    QVERIFY(bus.command(QStringLiteral("add 5")));
    const QStringList words{"add", "set", "power", "fault", "key", "alarm", "5", "all", "0x", "-",
                            "sn", "rotary", "\"", "#", "=", "on", "dies-after", "99999999999", "1-126",
                            "late", "split", "wait", "status", "\xff", "ccw5", "boards", "5,5",
                            "silence", "none", "reappear", "newnode"};
    std::mt19937 random(12345);
    int refused = 0;
    for (int i = 0; i < 3000; ++i) {
        QString line;
        const int n = int(random() % 6);
        for (int w = 0; w < n; ++w) {
            line += words.at(int(random() % words.size()));
            line += (random() % 4) ? QStringLiteral(" ") : QString();
        }
        QString error;
        if (!bus.command(line, &error)) {
            ++refused;
            QVERIFY2(!error.isEmpty(), qPrintable(line));
        }
    }
    QVERIFY(refused > 100);
}

QTEST_GUILESS_MAIN(TestSimCommands)
#include "tst_simcommands.moc"
