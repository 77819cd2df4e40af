// Request frames and reply rules of every command kind, as known-answer
// tables: the bytes a monitor sees and what its replies do to the record.
#include "monitor/cmonitor.h"
#include "protocol/alarmcmd.h"
#include "protocol/commandnames.h"
#include "protocol/controlcmd.h"
#include "protocol/controlkeys.h"
#include "protocol/protocmd.h"
#include "protocol/querycmd.h"
#include "protocol/rscmd.h"
#include "protocol/umdcmd.h"
#include "protocol/updatecmd.h"

#include <QtTest>

#include <memory>

namespace {

using CommandPtr = std::shared_ptr<RSCmd>;

RSCmd *makeCommand(const QString &kind, quint8 address, int a = 0, int b = 0)
{
    if (kind == QLatin1String("echo")) return new RSCmd(address);
    if (kind == QLatin1String("proto")) return new ProtoCmd(address);
    if (kind == QLatin1String("alarm")) return new AlarmCmd(address);
    if (kind == QLatin1String("update")) return new UpdateCmd(address);
    if (kind == QLatin1String("query")) return new QueryCmd(quint8(a), b, address);
    if (kind == QLatin1String("control")) return new ControlCmd(quint8(a), address);
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(CommandPtr)

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void requestFrames_data();
    void requestFrames();
    void umdFrame_data();
    void umdFrame();
    void echoApply_data();
    void echoApply();
    void alarmByteValidity_data();
    void alarmByteValidity();
    void alarmApply_data();
    void alarmApply();
    void updateApply_data();
    void updateApply();
    void queryApply_data();
    void queryApply();
    void queryMismatchAndShortReplies();
    void controlChangesNothing();
    void names_data();
    void names();
    void keyTable();
};

void TestCommands::requestFrames_data()
{
    QTest::addColumn<CommandPtr>("cmd");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("replyLength");

    auto row = [](const char *name, RSCmd *cmd, const char *hex, int code, int len) {
        QTest::newRow(name) << CommandPtr(cmd) << QByteArray::fromHex(hex) << code << len;
    };
    row("echo 5", new RSCmd(5), "8580", 0x80, 2);
    row("echo 126", new RSCmd(126), "fe80", 0x80, 2);
    row("proto 1", new ProtoCmd(1), "8181", 0x81, 2);
    row("alarm 5", new AlarmCmd(5), "8582", 0x82, 2);
    row("update 10", new UpdateCmd(10), "8a83", 0x83, 3);
    row("query serial", new QueryCmd(0x02, 10, 7), "8790020a", 0x90, 12);
    row("query time code", new QueryCmd(0x30, 14, 7), "8790300e", 0x90, 16);
    row("query input mode", new QueryCmd(0x12, 2, 100), "e4901202", 0x90, 4);
    row("control menu 1", new ControlCmd(0x90, 1), "81d00090", 0xD0, 2);
    row("control power on 126", new ControlCmd(0xFF, 126), "fed000ff", 0xD0, 2);
}

void TestCommands::requestFrames()
{
    QFETCH(CommandPtr, cmd);
    QFETCH(QByteArray, frame);
    QFETCH(int, code);
    QFETCH(int, replyLength);

    QCOMPARE(cmd->request().toHex(' '), frame.toHex(' '));
    QCOMPARE(int(cmd->code), code);
    QCOMPARE(cmd->replyLength, replyLength);
    QCOMPARE(cmd->status, int(RSCmd::StatusNew));
    QVERIFY(cmd->reply.isEmpty());
    // Building a frame twice gives the same bytes.
    QCOMPARE(cmd->request().toHex(' '), frame.toHex(' '));
}

void TestCommands::umdFrame_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("tally");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("storedTally");

    QTest::newRow("two letters, both tallies")
        << QByteArray("AB") << 3
        << QByteArray::fromHex("8533").append("AB      AB      ") << 0x33;
    QTest::newRow("empty text, no tally")
        << QByteArray() << 0 << QByteArray::fromHex("8530").append(QByteArray(16, ' ')) << 0x30;
    QTest::newRow("ten letters cut to eight, red")
        << QByteArray("CAMERA-ONE") << 1
        << QByteArray::fromHex("8531").append("CAMERA-OCAMERA-O") << 0x31;
    QTest::newRow("tally high bits dropped")
        << QByteArray("X") << 0xFE
        << QByteArray::fromHex("8532").append("X       X       ") << 0x32;
}

void TestCommands::umdFrame()
{
    QFETCH(QByteArray, text);
    QFETCH(int, tally);
    QFETCH(QByteArray, frame);
    QFETCH(int, storedTally);

    UMDCmd cmd(text, quint8(tally), 5);
    QCOMPARE(cmd.text.size(), 8);
    QCOMPARE(cmd.replyLength, 0);
    QCOMPARE(int(cmd.code), 0xF0);
    const QByteArray sent = cmd.request();
    QCOMPARE(sent.size(), 18);
    QCOMPARE(sent.toHex(' '), frame.toHex(' '));
    QCOMPARE(int(cmd.tally), storedTally);
    QCOMPARE(int(cmd.code), 0xF0);
}

void TestCommands::echoApply_data()
{
    QTest::addColumn<quint32>("oldState");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<quint32>("newState");
    QTest::addColumn<quint32>("pendingAdded");
    QTest::addColumn<bool>("changed");

    QTest::newRow("switched on") << 0x000u << QByteArray::fromHex("8501") << 0x007u << 0x3Fu << true;
    QTest::newRow("bit 3 ignored") << 0x001u << QByteArray::fromHex("8509") << 0x001u << 0u << false;
    QTest::newRow("zombie answers powered") << 0x100u << QByteArray::fromHex("8501") << 0x007u << 0x3Fu << true;
    QTest::newRow("zombie answers off") << 0x100u << QByteArray::fromHex("8500") << 0x000u << 0u << true;
    QTest::newRow("alarm due while on") << 0x001u << QByteArray::fromHex("8503") << 0x003u << 0u << true;
    QTest::newRow("switched off") << 0x007u << QByteArray::fromHex("8500") << 0x000u << 0u << true;
    QTest::newRow("off stays off") << 0x000u << QByteArray::fromHex("85fe") << 0x006u << 0u << true;
    QTest::newRow("short reply counts as zero") << 0x001u << QByteArray::fromHex("85") << 0x000u << 0u << true;
    QTest::newRow("empty reply, already zero") << 0x000u << QByteArray() << 0x000u << 0u << false;
}

void TestCommands::echoApply()
{
    QFETCH(quint32, oldState);
    QFETCH(QByteArray, reply);
    QFETCH(quint32, newState);
    QFETCH(quint32, pendingAdded);
    QFETCH(bool, changed);

    for (const char *kind : {"echo", "proto"}) {
        CMonitor m(5);
        m.state = oldState;
        m.pendingQueries = 0x40; // bits outside the six items are kept
        std::unique_ptr<RSCmd> cmd(makeCommand(QLatin1String(kind), 5));
        cmd->reply = reply;
        QCOMPARE(cmd->apply(&m), changed);
        QCOMPARE(m.state, newState);
        QCOMPARE(m.pendingQueries, 0x40u | pendingAdded);
    }
}

void TestCommands::alarmByteValidity_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("valid");

    for (int v : {0x05, 0x12, 0x0B, 0x20, 0x1F, 0x0F, 0x80, 0xFF, 0x07, 0x1B})
        QTest::addRow("0x%02x invalid", v) << v << false;
    for (int v : {0x00, 0x03, 0x0A, 0x1C, 0x08, 0x10, 0x0E, 0x11, 0x19})
        QTest::addRow("0x%02x valid", v) << v << true;
}

void TestCommands::alarmByteValidity()
{
    QFETCH(int, value);
    QFETCH(bool, valid);
    QCOMPARE(AlarmCmd::isValidAlarmByte(value), valid);
}

void TestCommands::alarmApply_data()
{
    QTest::addColumn<qint32>("oldAlarm");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<qint32>("newAlarm");
    QTest::addColumn<bool>("alarmDueAfter");
    QTest::addColumn<bool>("changed");

    QTest::newRow("mute raised") << 0 << QByteArray::fromHex("8508") << 8 << false << true;
    QTest::newRow("unchanged") << 8 << QByteArray::fromHex("8508") << 8 << false << false;
    QTest::newRow("cleared") << 8 << QByteArray::fromHex("8500") << 0 << false << true;
    QTest::newRow("invalid byte resets") << 8 << QByteArray::fromHex("8505") << 0 << true << false;
    QTest::newRow("invalid high bit") << 3 << QByteArray::fromHex("85a0") << 0 << true << false;
    QTest::newRow("short reply is zero") << 8 << QByteArray::fromHex("85") << 0 << false << true;
}

void TestCommands::alarmApply()
{
    QFETCH(qint32, oldAlarm);
    QFETCH(QByteArray, reply);
    QFETCH(qint32, newAlarm);
    QFETCH(bool, alarmDueAfter);
    QFETCH(bool, changed);

    CMonitor m(5);
    m.state = CMonitor::StatePower | CMonitor::StateAlarmDue | CMonitor::StateUpdateDue;
    m.alarm = oldAlarm;
    AlarmCmd cmd(5);
    cmd.reply = reply;
    QCOMPARE(cmd.apply(&m), changed);
    QCOMPARE(m.alarm, newAlarm);
    QCOMPARE(bool(m.state & CMonitor::StateAlarmDue), alarmDueAfter);
    QVERIFY(m.state & CMonitor::StateUpdateDue);
    QVERIFY(m.state & CMonitor::StatePower);
}

void TestCommands::updateApply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<quint32>("pendingAfter");

    QTest::newRow("serial and boards") << QByteArray::fromHex("850121") << 0x21u;
    QTest::newRow("nothing changed flag 0") << QByteArray::fromHex("850021") << 0x00u;
    QTest::newRow("flag 2 is not 1") << QByteArray::fromHex("850221") << 0x00u;
    QTest::newRow("two-byte reply adds nothing") << QByteArray::fromHex("8501") << 0x00u;
    QTest::newRow("one-byte reply") << QByteArray::fromHex("85") << 0x00u;
}

void TestCommands::updateApply()
{
    QFETCH(QByteArray, reply);
    QFETCH(quint32, pendingAfter);

    CMonitor m(5);
    m.state = CMonitor::StatePower | CMonitor::StateUpdateDue | CMonitor::StateAlarmDue;
    UpdateCmd cmd(5);
    cmd.reply = reply;
    QVERIFY(!cmd.apply(&m));
    QCOMPARE(m.pendingQueries, pendingAfter);
    QCOMPARE(m.state, quint32(CMonitor::StatePower | CMonitor::StateAlarmDue));
}

void TestCommands::queryApply_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<quint32>("clearedBit");

    QTest::newRow("serial number up to zero")
        << 0x02 << QByteArray("KV10A001\0\0", 10) << "serialNumber" << QVariant("KV10A001") << 0x01u;
    QTest::newRow("serial number without zero")
        << 0x02 << QByteArray("ABCDEFGHIJ") << "serialNumber" << QVariant("ABCDEFGHIJ") << 0x01u;
    QTest::newRow("serial number latin-1")
        << 0x02 << QByteArray("\xC4\xD6Z\0\0\0\0\0\0\0", 10) << "serialNumber"
        << QVariant(QStringLiteral("\u00C4\u00D6Z")) << 0x01u;
    QTest::newRow("version") << 0x0C << QByteArray("V1.20\0", 6) << "version" << QVariant("V1.20") << 0x02u;
    QTest::newRow("input and mode") << 0x12 << QByteArray::fromHex("0609") << "inputMode"
                                    << QVariant(QString("6/9")) << 0x04u;
    QTest::newRow("rotary signed") << 0x14 << QByteArray::fromHex("f6007f8001") << "rotary"
                                   << QVariant(QString("-10,0,127,-128,1")) << 0x08u;
    QTest::newRow("functions big-endian") << 0x19 << QByteArray::fromHex("00010203") << "functions"
                                          << QVariant(66051u) << 0x10u;
    QTest::newRow("functions bits 29, 2, 0") << 0x19 << QByteArray::fromHex("20000005") << "functions"
                                             << QVariant(0x20000005u) << 0x10u;
    QTest::newRow("time code has no bit") << 0x30 << QByteArray("10:22:33:04\0\0\0", 14) << "timeCode"
                                          << QVariant("10:22:33:04") << 0u;
    QTest::newRow("board versions raw") << 0x3E << QByteArray::fromHex("01021000200130094063")
                                        << "boardVersions"
                                        << QVariant(QByteArray::fromHex("01021000200130094063")) << 0x20u;
}

void TestCommands::queryApply()
{
    QFETCH(int, item);
    QFETCH(QByteArray, data);
    QFETCH(QString, field);
    QFETCH(QVariant, expected);
    QFETCH(quint32, clearedBit);

    CMonitor m(9);
    m.pendingQueries = CMonitor::AllQueries;
    QueryCmd cmd(quint8(item), data.size(), 9);
    QCOMPARE(cmd.replyLength, data.size() + 2);
    cmd.reply = QByteArray::fromHex("89") + char(item) + data;
    QVERIFY(cmd.apply(&m));
    QCOMPARE(m.pendingQueries, quint32(CMonitor::AllQueries) & ~clearedBit);

    QVariant actual;
    if (field == "serialNumber") actual = m.serialNumber;
    else if (field == "version") actual = m.version;
    else if (field == "timeCode") actual = m.timeCode;
    else if (field == "boardVersions") actual = m.boardVersions;
    else if (field == "functions") actual = m.functions;
    else if (field == "inputMode") actual = QString("%1/%2").arg(m.input).arg(m.mode);
    else if (field == "rotary") {
        QStringList values;
        for (qint32 v : m.rotaryValues)
            values << QString::number(v);
        actual = values.join(',');
    }
    QCOMPARE(actual, expected);
}

void TestCommands::queryMismatchAndShortReplies()
{
    CMonitor m(9);
    m.serialNumber = QStringLiteral("OLD");
    m.pendingQueries = CMonitor::AllQueries;

    // A reply that names another item leaves the record alone.
    QueryCmd wrongItem(0x02, 10, 9);
    wrongItem.reply = QByteArray::fromHex("890c") + QByteArray("NEWSERIAL\0", 10);
    QVERIFY(!wrongItem.apply(&m));
    QCOMPARE(m.serialNumber, QStringLiteral("OLD"));
    QCOMPARE(m.pendingQueries, quint32(CMonitor::AllQueries));

    // An empty reply has item 0, which never matches a real query.
    QueryCmd empty(0x02, 10, 9);
    QVERIFY(!empty.apply(&m));

    // An item nobody asks for is accepted and changes nothing.
    const CMonitor before = m;
    QueryCmd unknown(0x07, 3, 9);
    unknown.reply = QByteArray::fromHex("8907aabbcc");
    QVERIFY(unknown.apply(&m));
    QueryCmd tooHigh(0x40, 1, 9);
    tooHigh.reply = QByteArray::fromHex("894001");
    QVERIFY(tooHigh.apply(&m));
    QCOMPARE(m.pendingQueries, before.pendingQueries);
    QCOMPARE(m.serialNumber, before.serialNumber);

    // Short replies are never read past their end: missing bytes count as 0.
    QueryCmd shortFunctions(0x19, 4, 9);
    shortFunctions.reply = QByteArray::fromHex("891901");
    QVERIFY(shortFunctions.apply(&m));
    QCOMPARE(m.functions, 0x01000000u);
    QueryCmd shortRotary(0x14, 5, 9);
    shortRotary.reply = QByteArray::fromHex("8914ff");
    QVERIFY(shortRotary.apply(&m));
    QCOMPARE(m.rotaryValues[0], -1);
    QCOMPARE(m.rotaryValues[4], 0);
    QueryCmd shortBoards(0x3E, 10, 9);
    shortBoards.reply = QByteArray::fromHex("893e1205");
    QVERIFY(shortBoards.apply(&m));
    QCOMPARE(m.boardVersions, QByteArray::fromHex("1205"));
    QueryCmd noDataSerial(0x02, 10, 9);
    noDataSerial.reply = QByteArray::fromHex("8902");
    QVERIFY(noDataSerial.apply(&m));
    QCOMPARE(m.serialNumber, QString());
}

void TestCommands::controlChangesNothing()
{
    CMonitor m(3);
    m.state = CMonitor::StatePower;
    m.alarm = 8;
    ControlCmd control(0xFE, 3);
    control.reply = QByteArray::fromHex("8300");
    QVERIFY(!control.apply(&m));
    QCOMPARE(m.state, quint32(CMonitor::StatePower));
    QCOMPARE(m.alarm, 8);
}

void TestCommands::names_data()
{
    QTest::addColumn<CommandPtr>("cmd");
    QTest::addColumn<QString>("name");

    QTest::newRow("echo") << CommandPtr(new RSCmd(1)) << "ECHO";
    QTest::newRow("proto") << CommandPtr(new ProtoCmd(1)) << "PROTO";
    QTest::newRow("alarm, as logged") << CommandPtr(new AlarmCmd(1)) << "ALAMR";
    QTest::newRow("update") << CommandPtr(new UpdateCmd(1)) << "UPDATE";
    QTest::newRow("query") << CommandPtr(new QueryCmd(2, 10, 1)) << "QUERY";
    QTest::newRow("control") << CommandPtr(new ControlCmd(0x90, 7)) << "CONTROL";
    QTest::newRow("umd is unknown") << CommandPtr(new UMDCmd("A", 0, 1)) << "Unknow";
}

void TestCommands::names()
{
    QFETCH(CommandPtr, cmd);
    QFETCH(QString, name);
    QCOMPARE(commandName(*cmd), name);

    const QStringList statuses = {"NEW", "OK", "SEND_ERROR", "READ_ERROR", "RSP_ERROR"};
    for (int status = 0; status < statuses.size(); ++status)
        QCOMPARE(statusName(status), statuses.at(status));
    QVERIFY(statusName(5).isEmpty());
    QVERIFY(statusName(-1).isEmpty());
}

void TestCommands::keyTable()
{
    // Script keywords match exactly, case-sensitive; one per key family.
    const QList<QPair<QString, int>> expected = {
        {"MENU", 0x90}, {"ENTER", 0x93}, {"F1", 0x88}, {"F5", 0x8C}, {"PUSH3", 0x9A},
        {"CW1", 0xA0}, {"CCW5", 0xAC}, {"ON", 0xFF}, {"OFF", 0xFE}, {"YPbPr", 0x82}, {"DVI", 0x84},
    };
    for (const auto &[name, code] : expected) {
        const auto found = ControlKeys::codeForScriptName(name);
        QVERIFY2(found.has_value(), qPrintable(name));
        QCOMPARE(int(*found), code);
    }
    for (const char *bad : {"menu", "YPBPR", "F6", "CW6", "PUSH0", ""})
        QVERIFY2(!ControlKeys::codeForScriptName(QLatin1String(bad)).has_value(), bad);

    QSet<int> codes;
    for (const ControlKeys::Key &key : ControlKeys::keys)
        codes.insert(key.code);
    QCOMPARE(codes.size(), int(ControlKeys::keys.size()));
}

QTEST_APPLESS_MAIN(TestCommands)
#include "tst_commands.moc"
