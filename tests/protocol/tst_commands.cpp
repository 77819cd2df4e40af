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

using CommandPtr = std::shared_ptr<RSCmd>;
Q_DECLARE_METATYPE(CommandPtr)

namespace {

// The record as one line: serial|version|input/mode|rotary|functions|time
// code|board versions|pending bits.
QString describe(const CMonitor &m)
{
    QStringList rotary;
    for (qint32 v : m.rotaryValues)
        rotary << QString::number(v);
    return QStringLiteral("%1|%2|%3/%4|%5|%6|%7|%8|%9")
        .arg(m.serialNumber, m.version).arg(m.input).arg(m.mode)
        .arg(rotary.join(','), QString::number(m.functions, 16), m.timeCode,
             QString::fromLatin1(m.boardVersions.toHex()), QString::number(m.pendingQueries, 16));
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void requestFrames_data()
    {
        QTest::addColumn<CommandPtr>("cmd");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("replyLength");

        // hex header, then any text as it goes on the wire
        auto row = [](const char *name, RSCmd *cmd, const char *hex, int len, const char *text = "") {
            QTest::newRow(name) << CommandPtr(cmd) << QByteArray::fromHex(hex).append(text) << len;
        };
        row("echo 5", new RSCmd(5), "8580", 2);
        row("echo 126", new RSCmd(126), "fe80", 2);
        row("proto 1", new ProtoCmd(1), "8181", 2);
        row("alarm 5", new AlarmCmd(5), "8582", 2);
        row("update 10", new UpdateCmd(10), "8a83", 3);
        row("query serial", new QueryCmd(0x02, 10, 7), "8790020a", 12);
        row("query time code", new QueryCmd(0x30, 14, 7), "8790300e", 16);
        row("query input mode", new QueryCmd(0x12, 2, 100), "e4901202", 4);
        row("control menu 1", new ControlCmd(0x90, 1), "81d00090", 2);
        row("control power on 126", new ControlCmd(0xFF, 126), "fed000ff", 2);
        row("umd, both tallies", new UMDCmd("AB", 3, 5), "8533", 0, "AB      AB      ");
        row("umd, empty text", new UMDCmd("", 0, 5), "8530", 0, "                ");
        row("umd, text cut, red", new UMDCmd("CAMERA-ONE", 1, 5), "8531", 0, "CAMERA-OCAMERA-O");
        row("umd, tally high bits dropped", new UMDCmd("X", 0xFE, 5), "8532", 0, "X       X       ");
    }

    void requestFrames()
    {
        QFETCH(CommandPtr, cmd);
        QFETCH(QByteArray, frame);
        QFETCH(int, replyLength);
        QCOMPARE(cmd->request().toHex(' '), frame.toHex(' '));
        QCOMPARE(cmd->replyLength, replyLength);
    }

    void echoApply_data()
    {
        QTest::addColumn<quint32>("oldState");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<quint32>("newState");
        QTest::addColumn<quint32>("pendingAdded");
        QTest::addColumn<bool>("changed");

        auto row = [](const char *name, quint32 old, const char *reply, quint32 state, quint32 pending, bool changed) {
            QTest::newRow(name) << old << QByteArray::fromHex(reply) << state << pending << changed;
        };
        row("switched on", 0x000, "8501", 0x007, 0x3F, true);
        row("bit 3 ignored", 0x001, "8509", 0x001, 0, false);
        row("zombie answers powered", 0x100, "8501", 0x007, 0x3F, true);
        row("zombie answers off", 0x100, "8500", 0x000, 0, true);
        row("alarm due while on", 0x001, "8503", 0x003, 0, true);
        row("switched off", 0x007, "8500", 0x000, 0, true);
        row("off stays off", 0x000, "85fe", 0x006, 0, true);
        row("short reply counts as zero", 0x001, "85", 0x000, 0, true);
        row("empty reply, already zero", 0x000, "", 0x000, 0, false);
    }

    void echoApply()
    {
        QFETCH(quint32, oldState);
        QFETCH(QByteArray, reply);
        QFETCH(quint32, newState);
        QFETCH(quint32, pendingAdded);
        QFETCH(bool, changed);

        CMonitor m(5);
        m.state = oldState;
        m.pendingQueries = 0x40; // bits outside the six items are kept
        RSCmd cmd(5);
        cmd.reply = reply;
        QCOMPARE(cmd.apply(&m), changed);
        QCOMPARE(m.state, newState);
        QCOMPARE(m.pendingQueries, 0x40u | pendingAdded);
    }

    void alarmApply_data()
    {
        QTest::addColumn<qint32>("oldAlarm");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<qint32>("newAlarm"); // -1: invalid, the stored byte is reset
        QTest::addColumn<bool>("changed");

        QTest::newRow("unchanged") << 8 << QByteArray::fromHex("8508") << 8 << false;
        QTest::newRow("cleared") << 8 << QByteArray::fromHex("8500") << 0 << true;
        QTest::newRow("short reply is zero") << 8 << QByteArray::fromHex("85") << 0 << true;
        // Only bits 0-4, and never blue with IRE, black with RGB, no signal with mute.
        for (int v : {0x05, 0x12, 0x0B, 0x20, 0x1F, 0x0F, 0x80, 0xFF, 0x07, 0x1B, 0xA0})
            QTest::addRow("0x%02x invalid", v) << 8 << QByteArray::fromHex("85").append(char(v)) << -1 << false;
        for (int v : {0x03, 0x0A, 0x1C, 0x08, 0x10, 0x0E, 0x11, 0x19})
            QTest::addRow("0x%02x valid", v) << 0 << QByteArray::fromHex("85").append(char(v)) << v << true;
    }

    void alarmApply()
    {
        QFETCH(qint32, oldAlarm);
        QFETCH(QByteArray, reply);
        QFETCH(qint32, newAlarm);
        QFETCH(bool, changed);

        const quint32 due = CMonitor::StatePower | CMonitor::StateAlarmDue | CMonitor::StateUpdateDue;
        CMonitor m(5);
        m.state = due;
        m.alarm = oldAlarm;
        AlarmCmd cmd(5);
        cmd.reply = reply;
        QCOMPARE(cmd.apply(&m), changed);
        QCOMPARE(m.alarm, qMax(newAlarm, 0));
        // A valid answer settles the alarm query; an invalid one leaves it due.
        QCOMPARE(m.state, newAlarm < 0 ? due : due & ~quint32(CMonitor::StateAlarmDue));
    }

    void updateApply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<quint32>("pendingAfter");

        QTest::newRow("serial and boards") << QByteArray::fromHex("850121") << 0x21u;
        QTest::newRow("nothing changed flag 0") << QByteArray::fromHex("850021") << 0x00u;
        QTest::newRow("flag 2 is not 1") << QByteArray::fromHex("850221") << 0x00u;
        QTest::newRow("two-byte reply adds nothing") << QByteArray::fromHex("8501") << 0x00u;
    }

    void updateApply()
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

    void queryApply_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("dataLength");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("record"); // describe() of the record afterwards

        // Each starts from serial "OLD", every item pending (3f).
        auto row = [](const char *name, int item, int length, const QByteArray &reply, bool accepted,
                      const char *record) {
            QTest::newRow(name) << item << length << reply << accepted << QString::fromUtf8(record);
        };
        const QByteArray sync = QByteArray::fromHex("89");
        row("serial up to zero", 0x02, 10, sync + QByteArray("\x02KV10A001\0\0", 11), true, "KV10A001||0/0|0,0,0,0,0|0|||3e");
        row("serial without zero", 0x02, 10, sync + "\x02" "ABCDEFGHIJ", true, "ABCDEFGHIJ||0/0|0,0,0,0,0|0|||3e");
        row("serial latin-1", 0x02, 10, sync + QByteArray("\x02\xC4\xD6Z\0", 5), true, "ÄÖZ||0/0|0,0,0,0,0|0|||3e");
        row("serial, no data", 0x02, 10, sync + "\x02", true, "||0/0|0,0,0,0,0|0|||3e");
        row("version", 0x0C, 6, sync + QByteArray("\x0cV1.20\0", 7), true, "OLD|V1.20|0/0|0,0,0,0,0|0|||3d");
        row("input and mode", 0x12, 2, QByteArray::fromHex("89120609"), true, "OLD||6/9|0,0,0,0,0|0|||3b");
        row("rotary signed", 0x14, 5, QByteArray::fromHex("8914f6007f8001"), true, "OLD||0/0|-10,0,127,-128,1|0|||37");
        row("rotary short", 0x14, 5, QByteArray::fromHex("8914ff"), true, "OLD||0/0|-1,0,0,0,0|0|||37");
        row("functions big-endian", 0x19, 4, QByteArray::fromHex("891920010305"), true, "OLD||0/0|0,0,0,0,0|20010305|||2f");
        row("functions short", 0x19, 4, QByteArray::fromHex("891901"), true, "OLD||0/0|0,0,0,0,0|1000000|||2f");
        row("time code has no bit", 0x30, 14, sync + QByteArray("\x30" "10:22:33:04\0\0\0", 15), true,
            "OLD||0/0|0,0,0,0,0|0|10:22:33:04||3f");
        row("board versions raw", 0x3E, 10, QByteArray::fromHex("893e01021000200130094063"), true,
            "OLD||0/0|0,0,0,0,0|0||01021000200130094063|1f");
        row("board versions short", 0x3E, 10, QByteArray::fromHex("893e1205"), true, "OLD||0/0|0,0,0,0,0|0||1205|1f");
        row("reply names another item", 0x02, 10, sync + "\x0cNEWSERIAL", false, "OLD||0/0|0,0,0,0,0|0|||3f");
        row("empty reply", 0x02, 10, QByteArray(), false, "OLD||0/0|0,0,0,0,0|0|||3f");
        row("item nobody asks for", 0x07, 3, QByteArray::fromHex("8907aabbcc"), true, "OLD||0/0|0,0,0,0,0|0|||3f");
        row("item above the table", 0x40, 1, QByteArray::fromHex("894001"), true, "OLD||0/0|0,0,0,0,0|0|||3f");
    }

    void queryApply()
    {
        QFETCH(int, item);
        QFETCH(int, dataLength);
        QFETCH(QByteArray, reply);
        QFETCH(bool, accepted);
        QFETCH(QString, record);

        CMonitor m(9);
        m.serialNumber = QStringLiteral("OLD");
        m.pendingQueries = CMonitor::AllQueries;
        QueryCmd cmd(quint8(item), dataLength, 9);
        cmd.reply = reply;
        QCOMPARE(cmd.apply(&m), accepted);
        QCOMPARE(describe(m), record);
    }

    // The names the event log's error lines use, spellings included, and the
    // script keywords of the front-panel keys.
    void namesAndKeys()
    {
        const QList<QPair<RSCmd *, QString>> commands = {
            {new RSCmd(1), "ECHO"}, {new ProtoCmd(1), "PROTO"}, {new AlarmCmd(1), "ALAMR"},
            {new UpdateCmd(1), "UPDATE"}, {new QueryCmd(2, 10, 1), "QUERY"},
            {new ControlCmd(0x90, 7), "CONTROL"}, {new UMDCmd("A", 0, 1), "Unknow"}};
        for (const auto &[cmd, name] : commands) {
            QCOMPARE(commandName(*cmd), name);
            delete cmd;
        }
        QStringList statuses;
        for (int status = -1; status <= 5; ++status)
            statuses << statusName(status);
        QCOMPARE(statuses, QStringList({"", "NEW", "OK", "SEND_ERROR", "READ_ERROR", "RSP_ERROR", ""}));

        const QList<QPair<QString, int>> keys = {
            {"MENU", 0x90}, {"ENTER", 0x93}, {"F1", 0x88}, {"F5", 0x8C}, {"PUSH3", 0x9A},
            {"CW1", 0xA0}, {"CCW5", 0xAC}, {"ON", 0xFF}, {"OFF", 0xFE}, {"YPbPr", 0x82}, {"DVI", 0x84},
            {"menu", -1}, {"YPBPR", -1}, {"F6", -1}, {"CW6", -1}, {"PUSH0", -1}, {"", -1}};
        for (const auto &[name, code] : keys) {
            const std::optional<quint8> found = ControlKeys::codeForScriptName(name);
            QCOMPARE(found ? int(*found) : -1, code);
        }
    }
};

QTEST_APPLESS_MAIN(TestCommands)
#include "tst_commands.moc"
