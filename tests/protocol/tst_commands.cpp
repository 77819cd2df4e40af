// Request frames and reply rules of every command kind, as known-answer
// tables: the bytes a monitor sees and what its replies do to the record.
#include "monitor/cmonitor.h"
#include "protocol/alarmcmd.h"
#include "protocol/commandnames.h"
#include "protocol/controlcmd.h"
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

// The fields of a record that differ from a fresh one, as "key=value".
QString describe(const CMonitor &m)
{
    QStringList fields;
    const auto add = [&fields](const char *key, const QString &value) {
        if (!value.isEmpty() && value != QLatin1String("0"))
            fields << QLatin1String(key) + QLatin1Char('=') + value;
    };
    add("state", QString::number(m.state, 16));
    add("alarm", QString::number(m.alarm, 16));
    add("pending", QString::number(m.pendingQueries, 16));
    add("serial", m.serialNumber);
    add("version", m.version);
    add("input", QString::number(m.input));
    add("mode", QString::number(m.mode));
    QStringList rotary;
    for (qint32 v : m.rotaryValues)
        rotary << QString::number(v);
    add("rotary", rotary.join(',') == QLatin1String("0,0,0,0,0") ? QString() : rotary.join(','));
    add("functions", QString::number(m.functions, 16));
    add("timecode", m.timeCode);
    add("boards", QString::fromLatin1(m.boardVersions.toHex()));
    return fields.join(' ');
}

QByteArray bytes(const char *hex, const QByteArray &text = {})
{
    return QByteArray::fromHex(hex) + text;
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
        QTest::addColumn<QString>("name"); // in the event log's error lines, spelling included

        auto row = [](const char *tag, RSCmd *cmd, const QByteArray &frame, int length, const char *name) {
            QTest::newRow(tag) << CommandPtr(cmd) << frame << length << QString::fromLatin1(name);
        };
        row("echo 5", new RSCmd(5), bytes("8580"), 2, "ECHO");
        row("proto 1", new ProtoCmd(1), bytes("8181"), 2, "PROTO");
        row("alarm 5", new AlarmCmd(5), bytes("8582"), 2, "ALAMR");
        row("update 10", new UpdateCmd(10), bytes("8a83"), 3, "UPDATE");
        row("query serial", new QueryCmd(0x02, 10, 7), bytes("8790020a"), 12, "QUERY");
        row("query time code", new QueryCmd(0x30, 14, 7), bytes("8790300e"), 16, "QUERY");
        row("query input mode", new QueryCmd(0x12, 2, 100), bytes("e4901202"), 4, "QUERY");
        row("control menu 1", new ControlCmd(0x90, 1), bytes("81d00090"), 2, "CONTROL");
        row("control power on 126", new ControlCmd(0xFF, 126), bytes("fed000ff"), 2, "CONTROL");
        // The text is cut or padded to eight bytes and sent twice; no reply.
        row("umd, both tallies", new UMDCmd("AB", 3, 5), bytes("8533", "AB      AB      "), 0, "Unknow");
        row("umd, empty text", new UMDCmd("", 0, 5), bytes("8530", QByteArray(16, ' ')), 0, "Unknow");
        row("umd, text cut, red", new UMDCmd("CAMERA-ONE", 1, 5), bytes("8531", "CAMERA-OCAMERA-O"), 0, "Unknow");
        row("umd, tally high bits dropped", new UMDCmd("X", 0xFE, 5), bytes("8532", "X       X       "), 0, "Unknow");
    }

    void requestFrames()
    {
        QFETCH(CommandPtr, cmd);
        QFETCH(QByteArray, frame);
        QFETCH(int, replyLength);
        QFETCH(QString, name);
        QCOMPARE(cmd->request().toHex(' '), frame.toHex(' '));
        QCOMPARE(cmd->replyLength, replyLength);
        QCOMPARE(commandName(*cmd), name);
    }

    void replies_data()
    {
        QTest::addColumn<CommandPtr>("cmd");
        QTest::addColumn<quint32>("state");
        QTest::addColumn<qint32>("alarm");
        QTest::addColumn<quint32>("pending");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("record"); // describe() afterwards

        struct Before { quint32 state; qint32 alarm; quint32 pending; };
        auto row = [](const QString &tag, RSCmd *cmd, Before b, const QByteArray &reply, bool result, const char *record) {
            QTest::newRow(qPrintable(tag)) << CommandPtr(cmd) << b.state << b.alarm << b.pending << reply << result
                                           << QString::fromUtf8(record);
        };
        // The status poll; bit 0x40 of the pending items is none of the six and stays.
        row("echo: switched on", new RSCmd(5), {0x000, 0, 0x40}, bytes("8501"), true, "state=7 pending=7f");
        row("echo: bit 3 ignored", new RSCmd(5), {0x001, 0, 0x40}, bytes("8509"), false, "state=1 pending=40");
        row("echo: zombie answers powered", new RSCmd(5), {0x100, 0, 0x40}, bytes("8501"), true, "state=7 pending=7f");
        row("echo: zombie answers off", new RSCmd(5), {0x100, 0, 0x40}, bytes("8500"), true, "pending=40");
        row("echo: alarm due while on", new RSCmd(5), {0x001, 0, 0x40}, bytes("8503"), true, "state=3 pending=40");
        row("echo: switched off", new RSCmd(5), {0x007, 0, 0x40}, bytes("8500"), true, "pending=40");
        row("echo: off stays off", new RSCmd(5), {0x000, 0, 0x40}, bytes("85fe"), true, "state=6 pending=40");
        row("echo: short reply counts as zero", new RSCmd(5), {0x001, 0, 0x40}, bytes("85"), true, "pending=40");
        row("echo: empty reply, already zero", new RSCmd(5), {0x000, 0, 0x40}, bytes(""), false, "pending=40");
        row("proto: as the echo", new ProtoCmd(5), {0x000, 0, 0x40}, bytes("8501"), true, "state=7 pending=7f");
        row("control: changes nothing", new ControlCmd(0x90, 5), {0x001, 8, 0}, bytes("8500"), false, "state=1 alarm=8");
        // A valid alarm byte settles the alarm query; an invalid one resets the
        // stored byte and leaves the query due.
        row("alarm: unchanged", new AlarmCmd(5), {7, 8, 0}, bytes("8508"), false, "state=5 alarm=8");
        row("alarm: cleared", new AlarmCmd(5), {7, 8, 0}, bytes("8500"), true, "state=5");
        row("alarm: short reply is zero", new AlarmCmd(5), {7, 8, 0}, bytes("85"), true, "state=5");
        // Only bits 0-4, and never blue with IRE, black with RGB, no signal with mute.
        for (int v : {0x05, 0x12, 0x0B, 0x20, 0x1F, 0x0F, 0x80, 0xFF, 0x07, 0x1B, 0xA0})
            row(QStringLiteral("alarm: 0x%1 invalid").arg(v, 2, 16, QLatin1Char('0')), new AlarmCmd(5), {7, 8, 0},
                bytes("85").append(char(v)), false, "state=7");
        for (int v : {0x03, 0x0A, 0x1C, 0x08, 0x10, 0x0E, 0x11, 0x19})
            row(QStringLiteral("alarm: 0x%1 valid").arg(v, 2, 16, QLatin1Char('0')), new AlarmCmd(5), {7, 0, 0},
                bytes("85").append(char(v)), true, qPrintable(QStringLiteral("state=5 alarm=%1").arg(v, 0, 16)));
        // The update report adds the items it names when its flag is 1.
        row("update: serial and boards", new UpdateCmd(5), {7, 0, 0}, bytes("850121"), false, "state=3 pending=21");
        row("update: flag 0", new UpdateCmd(5), {7, 0, 0}, bytes("850021"), false, "state=3");
        row("update: flag 2", new UpdateCmd(5), {7, 0, 0}, bytes("850221"), false, "state=3");
        row("update: two-byte reply", new UpdateCmd(5), {7, 0, 0}, bytes("8501"), false, "state=3");
        // Each item clears its pending bit; texts end at the first zero byte.
        const Before all{0, 0, 0x3F};
        row("query: serial up to zero", new QueryCmd(0x02, 10, 9), all, bytes("8902", QByteArray("KV10A001\0\0", 10)),
            true, "pending=3e serial=KV10A001");
        row("query: serial without zero", new QueryCmd(0x02, 10, 9), all, bytes("8902", "ABCDEFGHIJ"), true,
            "pending=3e serial=ABCDEFGHIJ");
        row("query: serial latin-1", new QueryCmd(0x02, 10, 9), all, bytes("8902c4d65a00"), true, "pending=3e serial=ÄÖZ");
        row("query: serial, no data", new QueryCmd(0x02, 10, 9), all, bytes("8902"), true, "pending=3e");
        row("query: version", new QueryCmd(0x0C, 6, 9), all, bytes("890c", QByteArray("V1.20\0", 6)), true,
            "pending=3d version=V1.20");
        row("query: input and mode", new QueryCmd(0x12, 2, 9), all, bytes("89120609"), true, "pending=3b input=6 mode=9");
        row("query: rotary signed", new QueryCmd(0x14, 5, 9), all, bytes("8914f6007f8001"), true,
            "pending=37 rotary=-10,0,127,-128,1");
        row("query: rotary short", new QueryCmd(0x14, 5, 9), all, bytes("8914ff"), true, "pending=37 rotary=-1,0,0,0,0");
        row("query: functions big-endian", new QueryCmd(0x19, 4, 9), all, bytes("891920010305"), true,
            "pending=2f functions=20010305");
        row("query: functions short", new QueryCmd(0x19, 4, 9), all, bytes("891901"), true, "pending=2f functions=1000000");
        row("query: time code has no bit", new QueryCmd(0x30, 14, 9), all,
            bytes("8930", QByteArray("10:22:33:04\0\0\0", 14)), true, "pending=3f timecode=10:22:33:04");
        row("query: board versions raw", new QueryCmd(0x3E, 10, 9), all, bytes("893e01021000200130094063"), true,
            "pending=1f boards=01021000200130094063");
        row("query: board versions short", new QueryCmd(0x3E, 10, 9), all, bytes("893e1205"), true, "pending=1f boards=1205");
        row("query: reply names another item", new QueryCmd(0x02, 10, 9), all, bytes("890c", "NEWSERIAL"), false,
            "pending=3f");
        row("query: empty reply", new QueryCmd(0x02, 10, 9), all, bytes(""), false, "pending=3f");
        row("query: item nobody asks for", new QueryCmd(0x07, 3, 9), all, bytes("8907aabbcc"), true, "pending=3f");
        row("query: item above the table", new QueryCmd(0x40, 1, 9), all, bytes("894001"), true, "pending=3f");
    }

    void replies()
    {
        QFETCH(CommandPtr, cmd);
        QFETCH(quint32, state);
        QFETCH(qint32, alarm);
        QFETCH(quint32, pending);
        QFETCH(QByteArray, reply);
        QFETCH(bool, result);
        QFETCH(QString, record);

        CMonitor m(cmd->address); // fresh: what a row leaves at zero is the record's own default
        if (state)
            m.state = state;
        if (alarm)
            m.alarm = alarm;
        if (pending)
            m.pendingQueries = pending;
        cmd->reply = reply;
        QCOMPARE(cmd->apply(&m), result);
        QCOMPARE(describe(m), record);
    }

    // The names the event log's error lines give a status.
    void statusNames()
    {
        QCOMPARE(QStringList({statusName(-1), statusName(0), statusName(1), statusName(4), statusName(5)}),
                 QStringList({"", "NEW", "OK", "RSP_ERROR", ""}));
    }
};

QTEST_APPLESS_MAIN(TestCommands)
#include "tst_commands.moc"
