// The tally input's packet layer as a tally system meets it: datagrams and
// TCP byte streams as hand-written bytes and from our packet builder, what
// they do to a monitor's UMD, which bus addresses they reach, who may send
// them, and the settings file that says so.
#include "tally/allowlist.h"
#include "tally/tallymap.h"
#include "tally/tallysettings.h"
#include "tally/tsl31decoder.h"
#include "tally/tsl5decoder.h"
#include "tally/tslstreamframer.h"
#include "tally/umdstate.h"
#include "tests/support/tslpacket.h"
#include "tests/support/workdir.h"

#include <QHostAddress>
#include <QRandomGenerator>
#include <QtTest>

namespace {

// Hex with blanks for readability, then optional text bytes.
QByteArray hex(const char *digits, const QByteArray &tail = {})
{
    return QByteArray::fromHex(QByteArray(digits).replace(' ', "")) + tail;
}

using Message = Tsl5Decoder::Message;

Message msg(quint16 index, quint16 control, const QString &text)
{
    Message m;
    m.index = index;
    m.control = control;
    m.text = text;
    return m;
}

QString describe(const QList<Message> &messages)
{
    QStringList parts;
    for (const Message &m : messages)
        parts << QStringLiteral("%1/%2/'%3'").arg(m.index).arg(m.control, 0, 16).arg(m.text);
    return parts.join(QLatin1String(", "));
}

QList<int> ints(const QList<quint8> &list)
{
    QList<int> out;
    for (quint8 v : list)
        out << v;
    return out;
}

QList<int> range(int from, int to, const QList<int> &except = {})
{
    QList<int> out;
    for (int i = from; i <= to; ++i) {
        if (!except.contains(i))
            out << i;
    }
    return out;
}

// Two packets with DLE (0xFE) in their fields, and their TCP form as a
// tally system writes it, by hand.
const QByteArray dlePacket = hex("0b00 00 00 0000 fe00 0100 0100 fe");
const QByteArray dleStuffed = hex("fe02 0b00 00 00 0000 fefe00 0100 0100 fefe");
const QByteArray camPacket = hex("0e00 00 00 0000 0500 f900 0400", "CAM1");
const QByteArray camStuffed = hex("fe02 0e00 00 00 0000 0500 f900 0400", "CAM1");

} // namespace

Q_DECLARE_METATYPE(QList<Message>)

class TestTslDecoding : public QObject
{
    Q_OBJECT

private slots:
    // --- TSL 5.0 packets --------------------------------------------------

    void tsl5Accepted_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<int>("screen");
        QTest::addColumn<QList<Message>>("messages");

        QTest::newRow("one message, all three tallies and brightness")
            << hex("0e00 00 00 0000 0500 f900 0400", "CAM1") << 0
            << QList<Message>{msg(5, 0xF9, QStringLiteral("CAM1"))};
        QTest::newRow("two messages on screen 258")
            << hex("1400 00 00 0201 0100 0100 0100", "A") + hex("0302 0800 0300", "XYZ") << 258
            << QList<Message>{msg(1, 0x1, QStringLiteral("A")), msg(0x0203, 0x8, QStringLiteral("XYZ"))};
        QTest::newRow("8-bit text is Latin-1")
            << hex("0b00 00 00 0000 0100 0000 0100 e9") << 0
            << QList<Message>{msg(1, 0, QStringLiteral("\u00e9"))};
        QTest::newRow("UTF-16LE text")
            << hex("1000 00 01 0000 0700 3000 0600 4b00 ac20 3100") << 0
            << QList<Message>{msg(7, 0x30, QStringLiteral("K\u20ac1"))};
        QTest::newRow("UTF-16LE, odd trailing byte dropped")
            << hex("0d00 00 01 0000 0700 0000 0300 4b00 41") << 0
            << QList<Message>{msg(7, 0, QStringLiteral("K"))};
        QTest::newRow("empty text")
            << hex("0a00 00 00 0000 0300 0000 0000") << 0
            << QList<Message>{msg(3, 0, QString())};
        QTest::newRow("broadcast screen and index")
            << hex("0e00 00 00 ffff ffff 0000 0400", "ALL ") << 0xFFFF
            << QList<Message>{msg(0xFFFF, 0, QStringLiteral("ALL "))};
        QTest::newRow("control-data message skipped, display message kept")
            << hex("1400 00 00 0000 0100 0080 0300 fe0102 0200 0200 0100", "B") << 0
            << QList<Message>{msg(2, 0x2, QStringLiteral("B"))};
        QTest::newRow("only control data")
            << hex("0d00 00 00 0000 0100 0080 0300 aabbcc") << 0 << QList<Message>{};
        QTest::newRow("screen control data changes nothing")
            << hex("0a00 00 02 0500 010203040506") << 5 << QList<Message>{};
    }

    void tsl5Accepted()
    {
        QFETCH(QByteArray, packet);
        QFETCH(int, screen);
        QFETCH(QList<Message>, messages);
        const Tsl5Decoder::Result r = Tsl5Decoder::decode(packet);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(r.error.isEmpty());
        QCOMPARE(int(r.screen), screen);
        QCOMPARE(describe(r.messages), describe(messages));
        QCOMPARE(r.messages, messages);
    }

    void tsl5Rejected_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QString>("reason"); // a word the reason must hold

        QTest::newRow("empty") << QByteArray() << "header";
        QTest::newRow("five bytes") << hex("0300 00 00 00") << "header";
        QTest::newRow("header only, no message") << hex("0400 00 00 0000") << "no message";
        QTest::newRow("byte count one too high") << hex("0f00 00 00 0000 0500 f900 0400", "CAM1") << "count";
        QTest::newRow("byte count one too low") << hex("0d00 00 00 0000 0500 f900 0400", "CAM1") << "count";
        QTest::newRow("byte count 65535") << hex("ffff 00 00 0000 0500 f900 0400", "CAM1") << "count";
        QTest::newRow("version 1") << hex("0e00 01 00 0000 0500 f900 0400", "CAM1") << "version";
        QTest::newRow("version 255, screen control")
            << hex("0a00 ff 02 0500 010203040506") << "version";
        QTest::newRow("message header cut") << hex("0700 00 00 0000 010002") << "header";
        QTest::newRow("text one byte past the end")
            << hex("0e00 00 00 0000 0500 f900 0500", "CAM1") << "past";
        QTest::newRow("second message's text past the end")
            << hex("1400 00 00 0201 0100 0100 0100", "A") + hex("0302 0800 0400", "XYZ") << "past";
        QTest::newRow("second message's header cut")
            << hex("0e00 00 00 0201 0100 0100 0100", "A") + hex("030208") << "header";
        QTest::newRow("control data longer than the packet")
            << hex("0d00 00 00 0000 0100 0080 0400 aabbcc") << "past";
    }

    void tsl5Rejected()
    {
        QFETCH(QByteArray, packet);
        QFETCH(QString, reason);
        const Tsl5Decoder::Result r = Tsl5Decoder::decode(packet);
        QVERIFY(!r.ok);
        QVERIFY(r.messages.isEmpty());
        QVERIFY2(r.error.contains(reason), qPrintable(r.error));
    }

    // A packet cut short anywhere is refused whole, also when its byte
    // count is made to agree: then only a cut between messages leaves a
    // (shorter) valid packet.
    void tsl5EveryTruncationRejected()
    {
        const QByteArray packet =
            hex("1400 00 00 0201 0100 0100 0100", "A") + hex("0302 0800 0300", "XYZ");
        QVERIFY(Tsl5Decoder::decode(packet).ok);
        for (qsizetype n = 0; n < packet.size(); ++n) {
            const QByteArray cut = packet.left(n);
            const Tsl5Decoder::Result r = Tsl5Decoder::decode(cut);
            QVERIFY2(!r.ok && r.messages.isEmpty(), qPrintable(QString::number(n)));

            if (n < 2)
                continue;
            QByteArray recounted = cut;
            recounted[0] = char(n - 2);
            recounted[1] = 0;
            const Tsl5Decoder::Result rr = Tsl5Decoder::decode(recounted);
            if (n == 13) {
                QVERIFY2(rr.ok, qPrintable(rr.error));
                QCOMPARE(rr.messages, QList<Message>{msg(1, 0x1, QStringLiteral("A"))});
            } else {
                QVERIFY2(!rr.ok && rr.messages.isEmpty(), qPrintable(QString::number(n)));
            }
        }
    }

    // The builder writes what the hand-written bytes say, so that the
    // round trips below and the benchmarks send real packets.
    void builderMatchesHandWrittenBytes()
    {
        QCOMPARE(TslPacket::tsl5(0, {TslPacket::message(5, 0xF9, QStringLiteral("CAM1"))}), camPacket);
        QCOMPARE(TslPacket::tsl5(0, {TslPacket::message(7, 0x30, QStringLiteral("K\u20ac1"))}, true),
                 hex("1000 00 01 0000 0700 3000 0600 4b00 ac20 3100"));
        QCOMPARE(TslPacket::tsl5(0, {TslPacket::rawMessage(1, 0x8000, hex("fe0102")),
                                     TslPacket::message(2, 0x2, QStringLiteral("B"))}),
                 hex("1400 00 00 0000 0100 0080 0300 fe0102 0200 0200 0100", "B"));
        QCOMPARE(TslPacket::stuffed(dlePacket), dleStuffed);
        QCOMPARE(TslPacket::tsl31(5, 0x3, QStringLiteral("CAM 5"), 3), hex("8533", "CAM 5           "));
        QCOMPARE(TslPacket::control(1, 2, 3, 3), quint16(0xF9));
    }

    void tsl5ManyMessagesRoundTrip()
    {
        QList<TslPacket::Message> sent;
        QList<Message> expected;
        for (int i = 1; i <= 126; ++i) {
            const QString text = QStringLiteral("Cam %1").arg(i);
            const quint16 control = TslPacket::control(i % 4, (i / 4) % 4, (i / 16) % 4);
            sent << TslPacket::message(quint16(i), control, text);
            expected << msg(quint16(i), control, text);
        }
        for (bool utf16 : {false, true}) {
            const Tsl5Decoder::Result r = Tsl5Decoder::decode(TslPacket::tsl5(3, sent, utf16));
            QVERIFY2(r.ok, qPrintable(r.error));
            QCOMPARE(r.screen, quint16(3));
            QCOMPARE(r.messages, expected);
        }
    }

    // --- TSL 3.1 datagrams ------------------------------------------------

    void tsl31Datagrams_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("packets"); // address/tallies/brightness/text
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("malformed");

        QTest::newRow("one packet") << hex("8533", "CAM 5           ")
                                    << "5/3/3/CAM 5           " << 0 << 0;
        QTest::newRow("address 0 and 126, tallies 3 and 4")
            << hex("800c", "Zero            ") + hex("fe01", "Last 126        ")
            << "0/c/0/Zero            |126/1/0/Last 126        " << 0 << 0;
        QTest::newRow("bad ones skipped, good ones kept, short tail counted")
            << hex("8101", "one             ") + hex("7f01", "below 0x80      ")
                   + hex("8281", "control bit 7   ") + hex("ff01", "address 127     ")
                   + hex("8302", "three           ") + hex("8400", "shor")
            << "1/1/0/one             |3/2/0/three           " << 3 << 1;
        QTest::newRow("empty") << QByteArray() << "" << 0 << 0;
        QTest::newRow("17 bytes") << hex("8501", "CAM 5          ") << "" << 0 << 1;
        QTest::newRow("Latin-1 text") << hex("8a00", "Kamera \xfc\xe9\xdf      ")
                                      << QStringLiteral("10/0/0/Kamera \u00fc\u00e9\u00df      ") << 0 << 0;
    }

    void tsl31Datagrams()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, packets);
        QFETCH(int, skipped);
        QFETCH(int, malformed);
        const Tsl31Decoder::Result r = Tsl31Decoder::decode(datagram);
        QStringList got;
        for (const Tsl31Decoder::Packet &p : r.packets)
            got << QStringLiteral("%1/%2/%3/%4").arg(p.address).arg(p.tallies, 0, 16).arg(p.brightness).arg(p.text);
        QCOMPARE(got.join(QLatin1Char('|')), packets);
        QCOMPARE(r.skipped, skipped);
        QCOMPARE(r.malformed, malformed);
    }

    void tsl31TallyOneAndTwo()
    {
        const Tsl31Decoder::Result r = Tsl31Decoder::decode(
            TslPacket::tsl31(1, 0x1, QString()) + TslPacket::tsl31(2, 0x2, QString())
            + TslPacket::tsl31(3, 0xC, QString()));
        QCOMPARE(r.packets.size(), 3);
        QVERIFY(r.packets[0].tally1() && !r.packets[0].tally2());
        QVERIFY(!r.packets[1].tally1() && r.packets[1].tally2());
        QVERIFY(!r.packets[2].tally1() && !r.packets[2].tally2());
    }

    // --- What a monitor's UMD shows ---------------------------------------

    // Every combination of the three tallies, decoded from a real packet:
    // a lamp is lit when any tally asks for its colour; amber asks for both.
    void tsl5Lamps_data()
    {
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("text");
        QTest::addColumn<int>("left");
        const char *names[] = {"off", "red", "green", "amber"};
        for (int r = 0; r < 4; ++r)
            for (int t = 0; t < 4; ++t)
                for (int l = 0; l < 4; ++l)
                    QTest::addRow("%s %s %s", names[r], names[t], names[l]) << r << t << l;
    }

    void tsl5Lamps()
    {
        QFETCH(int, right);
        QFETCH(int, text);
        QFETCH(int, left);
        const QList<int> colours{right, text, left};
        const bool red = colours.contains(1) || colours.contains(3);
        const bool green = colours.contains(2) || colours.contains(3);
        for (int brightness = 0; brightness < 4; ++brightness) {
            const quint16 control = TslPacket::control(right, text, left, brightness);
            const Tsl5Decoder::Result r = Tsl5Decoder::decode(
                TslPacket::tsl5(0, {TslPacket::message(1, control, QStringLiteral("X"))}));
            QVERIFY(r.ok);
            const UmdState umd = UmdState::fromTsl5(r.messages.at(0).control, r.messages.at(0).text);
            QCOMPARE(bool(umd.tally & UmdState::Red), red);
            QCOMPARE(bool(umd.tally & UmdState::Green), green);
            QCOMPARE(umd.tally & ~(UmdState::Red | UmdState::Green), 0);
        }
    }

    void tsl5LampsKnownAnswers()
    {
        QCOMPARE(UmdState::fromTsl5(0x0000, QString()).tally, quint8(0));
        QCOMPARE(UmdState::fromTsl5(0x00C1, QString()).tally, quint8(1)); // right red
        QCOMPARE(UmdState::fromTsl5(0x0008, QString()).tally, quint8(2)); // text green
        QCOMPARE(UmdState::fromTsl5(0x0030, QString()).tally, quint8(3)); // left amber
        QCOMPARE(UmdState::fromTsl5(0x0012, QString()).tally, quint8(3)); // right green, left red
        QCOMPARE(UmdState::fromTsl5(0x80C0, QString()).tally, quint8(0)); // brightness only
    }

    void tsl31Lamps()
    {
        for (int high = 0; high < 4; ++high) {
            const quint8 extra = quint8(high << 2); // tallies 3 and 4 have no lamp
            QCOMPARE(UmdState::fromTsl31(0x0 | extra, QString()).tally, quint8(0));
            QCOMPARE(UmdState::fromTsl31(0x1 | extra, QString()).tally, UmdState::Red);
            QCOMPARE(UmdState::fromTsl31(0x2 | extra, QString()).tally, UmdState::Green);
            QCOMPARE(UmdState::fromTsl31(0x3 | extra, QString()).tally, quint8(UmdState::Red | UmdState::Green));
        }
        const Tsl31Decoder::Result r = Tsl31Decoder::decode(hex("8535", "  Camera 5      "));
        QCOMPARE(r.packets.size(), 1);
        QCOMPARE(UmdState::fromTsl31(r.packets[0].tallies, r.packets[0].text),
                 UmdState("Camera 5", UmdState::Red));
    }

    void umdText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("umd");

        QTest::newRow("plain") << QStringLiteral("CAM1") << QByteArray("CAM1");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("only blanks") << QStringLiteral("   \t ") << QByteArray();
        QTest::newRow("blanks both ends") << QStringLiteral("  CAM 1  ") << QByteArray("CAM 1");
        QTest::newRow("NUL padding") << QString::fromLatin1("AB\0\0\0\0", 6) << QByteArray("AB");
        QTest::newRow("NUL and blanks mixed") << QString::fromLatin1("\0 X \0", 5) << QByteArray("X");
        QTest::newRow("exactly eight") << QStringLiteral("ABCDEFGH") << QByteArray("ABCDEFGH");
        QTest::newRow("cut to eight") << QStringLiteral("ABCDEFGHIJ") << QByteArray("ABCDEFGH");
        QTest::newRow("trimmed before the cut") << QStringLiteral("   ABCDEFGHIJ") << QByteArray("ABCDEFGH");
        QTest::newRow("blank at the cut") << QStringLiteral("ABCDEFG  HIJ") << QByteArray("ABCDEFG");
        QTest::newRow("inner blanks kept") << QStringLiteral("A  B") << QByteArray("A  B");
        QTest::newRow("Latin-1 kept") << QStringLiteral("K\u00fc\u00e9\u00df") << QByteArray("K\xfc\xe9\xdf");
        QTest::newRow("euro is not Latin-1") << QStringLiteral("K\u20ac1") << QByteArray("K?1");
        QTest::newRow("outside the basic plane is one character")
            << QStringLiteral("A\U0001F600B") << QByteArray("A?B");
        QTest::newRow("broken surrogate") << QString(QChar(0xD800)) + QStringLiteral("Z") << QByteArray("?Z");
        QTest::newRow("cut counts characters, not bytes")
            << QStringLiteral("\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20acX") << QByteArray("????????");
    }

    void umdText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, umd);
        QCOMPARE(UmdState::umdText(text), umd);
    }

    // UTF-16 text on the wire with a character the monitor cannot show.
    void utf16PacketToUmd()
    {
        const Tsl5Decoder::Result r =
            Tsl5Decoder::decode(hex("1400 00 01 0000 0700 0100 0a00 2000 4b00 ac20 3100 2000"));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(UmdState::fromTsl5(r.messages[0].control, r.messages[0].text),
                 UmdState("K?1", UmdState::Red));
    }

    void umdStateEquality()
    {
        QVERIFY(UmdState("CAM", 1) == UmdState("CAM", 1));
        QVERIFY(UmdState("CAM", 1) != UmdState("CAM", 2));
        QVERIFY(UmdState("CAM", 1) != UmdState("CAM2", 1));
        QCOMPARE(UmdState::fromTsl5(0, QStringLiteral(" CAM ")), UmdState::fromTsl31(0, QStringLiteral("CAM")));
    }

    // --- TSL 5.0 over TCP -------------------------------------------------

    void framerSplitAnywhere()
    {
        // A third packet whose byte count is itself a DLE.
        QList<TslPacket::Message> long254;
        long254 << TslPacket::message(9, 0x5, QString(244, QLatin1Char('x')));
        const QByteArray third = TslPacket::tsl5(0, long254);
        QCOMPARE(third.left(2), hex("fe00"));
        const QList<QByteArray> expected{dlePacket, camPacket, third};
        const QByteArray stream = dleStuffed + camStuffed + TslPacket::stuffed(third);

        for (qsizetype i = 0; i <= stream.size(); ++i) {
            TslStreamFramer f;
            QList<QByteArray> got = f.feed(stream.left(i));
            got += f.feed(stream.mid(i));
            QVERIFY2(got == expected, qPrintable(QStringLiteral("split at %1").arg(i)));
            QCOMPARE(f.droppedBytes(), 0);
            QCOMPARE(f.pendingBytes(), 0);
        }
        // Two cuts, over the first two packets (the DLEs are in there).
        const QByteArray pair = dleStuffed + camStuffed;
        for (qsizetype i = 0; i <= pair.size(); ++i) {
            for (qsizetype j = i; j <= pair.size(); ++j) {
                TslStreamFramer f;
                QList<QByteArray> got = f.feed(pair.left(i));
                got += f.feed(pair.mid(i, j - i));
                got += f.feed(pair.mid(j));
                QVERIFY2(got == expected.mid(0, 2), qPrintable(QStringLiteral("cuts %1 %2").arg(i).arg(j)));
            }
        }
        TslStreamFramer bytewise;
        QList<QByteArray> got;
        for (char c : stream)
            got += bytewise.feed(&c, 1);
        QCOMPARE(got, expected);
    }

    void framerFaults_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<QByteArray>>("packets");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<int>("aborted");
        QTest::addColumn<int>("escapes");

        QTest::newRow("bytes before the first DLE STX")
            << QByteArray("abc") + camStuffed << QList<QByteArray>{camPacket} << 3 << 0 << 0;
        QTest::newRow("bytes between packets")
            << dleStuffed + QByteArray("xy") + camStuffed
            << QList<QByteArray>{dlePacket, camPacket} << 2 << 0 << 0;
        QTest::newRow("a lone DLE STX's second byte, then a packet")
            << hex("02") + camStuffed << QList<QByteArray>{camPacket} << 1 << 0 << 0;
        QTest::newRow("doubled DLE before the start is data, not a start")
            << hex("fefe 02") + camStuffed << QList<QByteArray>{camPacket} << 3 << 0 << 0;
        QTest::newRow("DLE STX inside a packet starts anew")
            << dleStuffed.left(8) + camStuffed << QList<QByteArray>{camPacket} << 6 << 1 << 0;
        QTest::newRow("DLE then other byte: dropped, resync")
            << hex("fe02 0e00 00 fe41 0000") + camStuffed << QList<QByteArray>{camPacket} << 7 << 0 << 1;
        QTest::newRow("DLE then other byte right after the start")
            << hex("fe02 fe00") + dleStuffed << QList<QByteArray>{dlePacket} << 2 << 0 << 1;
        QTest::newRow("unfinished packet at the end")
            << camStuffed + camStuffed.left(10) << QList<QByteArray>{camPacket} << 0 << 0 << 0;
        QTest::newRow("byte count 0 is a two-byte packet")
            << hex("fe02 0000") + camStuffed << QList<QByteArray>{hex("0000"), camPacket} << 0 << 0 << 0;
    }

    void framerFaults()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QList<QByteArray>, packets);
        QFETCH(int, dropped);
        QFETCH(int, aborted);
        QFETCH(int, escapes);
        TslStreamFramer f;
        QCOMPARE(f.feed(stream), packets);
        QCOMPARE(f.droppedBytes(), dropped);
        QCOMPARE(f.abortedPackets(), aborted);
        QCOMPARE(f.escapeErrors(), escapes);
        // The stream goes on normally afterwards.
        QCOMPARE(f.feed(dleStuffed), QList<QByteArray>{dlePacket});
    }

    // The largest packet there is, all DLEs: collected whole, and a byte
    // count that never completes does not make the framer hold more.
    void framerLargestPacket()
    {
        QByteArray packet(TslStreamFramer::MaxPacketSize, char(0xFE));
        packet[0] = char(0xFF);
        packet[1] = char(0xFF);
        TslStreamFramer f;
        const QByteArray stream = TslPacket::stuffed(packet);
        QList<QByteArray> got;
        for (qsizetype at = 0; at < stream.size(); at += 4096) {
            got += f.feed(stream.mid(at, 4096));
            QVERIFY(f.pendingBytes() <= TslStreamFramer::MaxPacketSize);
        }
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0], packet);
        QCOMPARE(Tsl5Decoder::decode(got[0]).ok, false); // version 0xFE

        TslStreamFramer g;
        QByteArray endless = hex("fe02 ffff");
        endless += QByteArray(200000, 'a');
        const QList<QByteArray> cut = g.feed(endless);
        QCOMPARE(cut.size(), 1);
        QCOMPARE(cut[0].size(), TslStreamFramer::MaxPacketSize);
        QCOMPARE(g.pendingBytes(), 0);
        QCOMPARE(g.droppedBytes(), 200000 - (TslStreamFramer::MaxPacketSize - 2));
    }

    // Noise rich in DLE and STX: the framer stays bounded, and whatever it
    // yields was really in the stream, stuffed and started by DLE STX.
    void framerRandomStream()
    {
        QRandomGenerator random(20261206);
        QByteArray stream(1 << 20, Qt::Uninitialized);
        for (char &c : stream) {
            const quint32 pick = random.bounded(8);
            c = pick == 0 ? char(0xFE) : pick == 1 ? char(0x02) : pick == 2 ? char(0) : char(random.bounded(256));
        }
        TslStreamFramer f;
        qsizetype searchFrom = 0;
        int packets = 0;
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype chunk = 1 + random.bounded(3000);
            for (const QByteArray &p : f.feed(stream.mid(at, chunk))) {
                QVERIFY(p.size() >= 2 && p.size() <= TslStreamFramer::MaxPacketSize);
                QCOMPARE(p.size(), (quint8(p[0]) | (quint8(p[1]) << 8)) + 2);
                const qsizetype found = stream.indexOf(TslPacket::stuffed(p), searchFrom);
                QVERIFY2(found >= 0, "a packet not in the stream");
                searchFrom = found + 1;
                ++packets;
                const Tsl5Decoder::Result r = Tsl5Decoder::decode(p);
                QCOMPARE(r.ok, r.error.isEmpty());
            }
            at += chunk;
            QVERIFY(f.pendingBytes() <= TslStreamFramer::MaxPacketSize);
        }
        QVERIFY(packets > 0); // the noise did exercise the collecting path
        QVERIFY(f.droppedBytes() > 0);
    }

    // --- Bus addresses ----------------------------------------------------

    void mapping_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<int>>("addresses");

        // Configured screen 2; see the table in mapping().
        QTest::newRow("identity") << 2 << 1 << QList<int>{1};
        QTest::newRow("identity 126") << 2 << 126 << QList<int>{126};
        QTest::newRow("index 0 reaches nothing") << 2 << 0 << QList<int>{};
        QTest::newRow("index 127 reaches nothing") << 2 << 127 << QList<int>{};
        QTest::newRow("overridden") << 2 << 5 << QList<int>{20};
        QTest::newRow("identity target of an override") << 2 << 20 << QList<int>{20};
        QTest::newRow("override out of range silences") << 2 << 6 << QList<int>{};
        QTest::newRow("override to 0 silences") << 2 << 8 << QList<int>{};
        QTest::newRow("high index overridden into range") << 2 << 300 << QList<int>{7};
        QTest::newRow("other screen, overridden") << 3 << 1 << QList<int>{9};
        QTest::newRow("other screen, no entry") << 3 << 3 << QList<int>{};
        QTest::newRow("unconfigured screen") << 0 << 1 << QList<int>{};
        QTest::newRow("every display of the configured screen")
            << 2 << 0xFFFF << range(1, 126, {5, 6, 8});
        QTest::newRow("every display of another screen") << 3 << 0xFFFF << QList<int>{9, 125};
        QTest::newRow("every display of a screen without entries") << 7 << 0xFFFF << QList<int>{};
        QTest::newRow("index 1 of every screen") << 0xFFFF << 1 << QList<int>{1, 9, 126};
        QTest::newRow("index 5 of every screen") << 0xFFFF << 5 << QList<int>{20};
        QTest::newRow("everything") << 0xFFFF << 0xFFFF << range(1, 126, {5, 6, 8});
    }

    void mapping()
    {
        QFETCH(int, screen);
        QFETCH(int, index);
        QFETCH(QList<int>, addresses);
        TallyMap::Overrides table;
        table.insert({2, 5}, 20);
        table.insert({2, 6}, 200);
        table.insert({2, 8}, 0);
        table.insert({2, 300}, 7);
        table.insert({3, 1}, 9);
        table.insert({3, 2}, -4);
        table.insert({3, 4}, 125);
        table.insert({4, 1}, 126);
        table.insert({0xFFFF, 1}, 50); // broadcast keys can never be asked for
        table.insert({2, 0xFFFF}, 51);
        const TallyMap map(2, table);
        QCOMPARE(ints(map.addresses(quint16(screen), quint16(index))), addresses);
    }

    void mappingTsl31AndDefaults()
    {
        const TallyMap plain;
        QCOMPARE(ints(plain.addresses(0, 1)), QList<int>{1});
        QCOMPARE(ints(plain.addresses(1, 1)), QList<int>{});
        QCOMPARE(ints(plain.addressesForTsl31(0)), QList<int>{});
        QCOMPARE(ints(plain.addressesForTsl31(126)), QList<int>{126});
        QCOMPARE(ints(plain.addresses(0xFFFF, 0xFFFF)), range(1, 126));

        TallyMap::Overrides table;
        table.insert({4, 10}, 33);
        table.insert({0, 10}, 44);
        const TallyMap onScreen4(4, table);
        QCOMPARE(ints(onScreen4.addressesForTsl31(10)), QList<int>{33});
        QCOMPARE(ints(onScreen4.addressesForTsl31(11)), QList<int>{11});
    }

    // --- Who may send -----------------------------------------------------

    void allowList_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("peer");
        QTest::addColumn<bool>("allowed");

        QTest::newRow("empty: everyone") << "" << "203.0.113.9" << true;
        QTest::newRow("only separators: everyone") << " , ,\t" << "2001:db8::1" << true;
        QTest::newRow("single v4, same") << "10.0.0.5" << "10.0.0.5" << true;
        QTest::newRow("single v4, other") << "10.0.0.5" << "10.0.0.6" << false;
        QTest::newRow("v4 range, inside") << "10.0.0.0/24" << "10.0.0.200" << true;
        QTest::newRow("v4 range, outside") << "10.0.0.0/24" << "10.0.1.1" << false;
        QTest::newRow("v4 range with host bits") << "10.0.0.77/30" << "10.0.0.78" << true;
        QTest::newRow("v4 range by netmask") << "10.1.0.0/255.255.0.0" << "10.1.200.3" << true;
        QTest::newRow("mapped peer, v4 entry") << "10.0.0.5" << "::ffff:10.0.0.5" << true;
        QTest::newRow("mapped peer, v4 range") << "10.0.0.0/8" << "::ffff:10.1.2.3" << true;
        QTest::newRow("mapped peer, outside") << "10.0.0.0/8" << "::ffff:11.1.2.3" << false;
        QTest::newRow("v4 peer, mapped entry") << "::ffff:10.0.0.5" << "10.0.0.5" << true;
        QTest::newRow("v6 range, inside") << "2001:db8::/32" << "2001:db8:1::7" << true;
        QTest::newRow("v6 range, outside") << "2001:db8::/32" << "2001:db9::7" << false;
        QTest::newRow("v6 loopback is not v4 loopback") << "::1" << "127.0.0.1" << false;
        QTest::newRow("v4 loopback is not v6 loopback") << "127.0.0.1" << "::1" << false;
        QTest::newRow("several, commas and blanks")
            << "10.0.0.5, 192.168.1.0/24 ::1\t2001:db8::/48" << "192.168.1.40" << true;
        QTest::newRow("several, last one") << "10.0.0.5,192.168.1.0/24 ::1" << "::1" << true;
        QTest::newRow("several, none") << "10.0.0.5, 192.168.1.0/24 ::1" << "192.168.2.1" << false;
        QTest::newRow("invalid only: nobody") << "nonsense" << "10.0.0.5" << false;
        QTest::newRow("invalid only, v6 peer: nobody") << "nonsense" << "::1" << false;
        QTest::newRow("invalid beside valid: the valid counts")
            << "nonsense, 10.0.0.5" << "10.0.0.5" << true;
        QTest::newRow("invalid beside valid: no more") << "nonsense, 10.0.0.5" << "10.0.0.6" << false;
        QTest::newRow("short v4 is not a range") << "10.0.0" << "10.0.0.5" << false;
        QTest::newRow("short v4 is not an address") << "127.1" << "127.0.0.1" << false;
        QTest::newRow("prefix too long") << "10.0.0.0/33" << "10.0.0.0" << false;
        QTest::newRow("octet too big") << "10.0.0.256" << "10.0.0.0" << false;
        QTest::newRow("prefix without address") << "/0" << "10.0.0.1" << false;
        QTest::newRow("address with empty prefix") << "10.0.0.1/" << "10.0.0.1" << false;
        QTest::newRow("host name") << "localhost" << "127.0.0.1" << false;
        QTest::newRow("a null peer") << "0.0.0.0/0" << "" << false;
    }

    void allowList()
    {
        QFETCH(QString, list);
        QFETCH(QString, peer);
        QFETCH(bool, allowed);
        QCOMPARE(AllowList(list).allows(QHostAddress(peer)), allowed);
    }

    void allowListReportsInvalidEntries()
    {
        const AllowList mixed(QStringLiteral("10.0.0.5, nonsense 10.0.0 ::1,  2001:db8::/129, 10.0.0.0/8"));
        QCOMPARE(mixed.invalidEntries(),
                 (QStringList{QStringLiteral("nonsense"), QStringLiteral("10.0.0"), QStringLiteral("2001:db8::/129")}));
        QCOMPARE(mixed.subnets().size(), 3);
        QVERIFY(!mixed.allowsEveryone());

        const AllowList open{QString()};
        QVERIFY(open.allowsEveryone());
        QVERIFY(open.invalidEntries().isEmpty());
        QVERIFY(AllowList().allows(QHostAddress(QStringLiteral("192.0.2.1"))));

        const AllowList closed(QStringLiteral("x y"));
        QVERIFY(!closed.allowsEveryone());
        QCOMPARE(closed.invalidEntries(), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
        QVERIFY(!closed.allows(QHostAddress(QStringLiteral("192.0.2.1"))));
    }

    // --- Settings ---------------------------------------------------------

    void settingsDefaults()
    {
        WorkDir dir;
        QVERIFY(dir.isValid());
        const TallySettings s = TallySettings::read();
        QCOMPARE(s.tsl5, false);
        QCOMPARE(s.tsl31, false);
        QCOMPARE(s.tsl5Port, quint16(8900));
        QCOMPARE(s.tsl31Port, quint16(8901));
        QCOMPARE(s.screen, quint16(0));
        QCOMPARE(s.bind, QStringLiteral("127.0.0.1"));
        QCOMPARE(s.allow, QString());
        QVERIFY(s.map.isEmpty());
        QVERIFY(!dir.iniExists()); // reading creates nothing
    }

    void settingsGarbage_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("fields"); // tsl5 tsl31 tsl5port tsl31port screen bind

        const QString defaults = QStringLiteral("0 0 8900 8901 0 127.0.0.1");
        QTest::newRow("no group") << QByteArray("[serial]\nport=/dev/ttyS0\n") << defaults;
        QTest::newRow("bools as words") << QByteArray("[tally]\ntsl5=yes\ntsl31=maybe\n") << defaults;
        QTest::newRow("bools empty") << QByteArray("[tally]\ntsl5=\ntsl31=\n") << defaults;
        QTest::newRow("bools as numbers") << QByteArray("[tally]\ntsl5=2\ntsl31=-1\n") << defaults;
        QTest::newRow("ports zero") << QByteArray("[tally]\ntsl5port=0\ntsl31port=0\n") << defaults;
        QTest::newRow("ports too high") << QByteArray("[tally]\ntsl5port=65536\ntsl31port=99999999999\n") << defaults;
        QTest::newRow("ports negative") << QByteArray("[tally]\ntsl5port=-8900\ntsl31port=-1\n") << defaults;
        QTest::newRow("ports not numbers") << QByteArray("[tally]\ntsl5port=abc\ntsl31port=89o1\n") << defaults;
        QTest::newRow("port as a list") << QByteArray("[tally]\ntsl5port=8900, 8901\n") << defaults;
        QTest::newRow("port in hex") << QByteArray("[tally]\ntsl5port=0x22c4\n") << defaults;
        QTest::newRow("screen broadcast") << QByteArray("[tally]\nscreen=65535\n") << defaults;
        QTest::newRow("screen negative") << QByteArray("[tally]\nscreen=-1\n") << defaults;
        QTest::newRow("screen text") << QByteArray("[tally]\nscreen=two\n") << defaults;
        QTest::newRow("bind not an address") << QByteArray("[tally]\nbind=my-host\n") << defaults;
        QTest::newRow("bind empty") << QByteArray("[tally]\nbind=\n") << defaults;
        QTest::newRow("good values")
            << QByteArray("[tally]\ntsl5=true\ntsl31=1\ntsl5port=1\ntsl31port=65535\nscreen=65534\nbind=::\n")
            << QStringLiteral("1 1 1 65535 65534 ::");
        QTest::newRow("good values, spelled loosely")
            << QByteArray("[tally]\ntsl5=TRUE\ntsl31=False\ntsl5port= 9000\nscreen=7 \nbind=0.0.0.0\n")
            << QStringLiteral("1 0 9000 8901 7 0.0.0.0");
    }

    void settingsGarbage()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, fields);
        WorkDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(dir.writeIni(ini));
        const TallySettings s = TallySettings::read();
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(int(s.tsl5)).arg(int(s.tsl31)).arg(s.tsl5Port).arg(s.tsl31Port)
                     .arg(s.screen).arg(s.bind),
                 fields);
    }

    // A hand-edited allow list with commas must not read as empty, which
    // would let everyone in.
    void settingsAllowWithCommas()
    {
        WorkDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(dir.writeIni("[tally]\nallow=10.0.0.1, 10.0.0.2 ,192.168.0.0/16\n"));
        const AllowList list = TallySettings::read().allowList();
        QVERIFY(!list.allowsEveryone());
        QVERIFY(list.allows(QHostAddress(QStringLiteral("10.0.0.2"))));
        QVERIFY(list.allows(QHostAddress(QStringLiteral("192.168.7.7"))));
        QVERIFY(!list.allows(QHostAddress(QStringLiteral("10.0.0.3"))));
        QVERIFY(list.invalidEntries().isEmpty());

        QVERIFY(dir.writeIni("[tally]\nallow=\"garbage, more garbage\"\n"));
        const AllowList bad = TallySettings::read().allowList();
        QVERIFY(!bad.allows(QHostAddress(QStringLiteral("10.0.0.2"))));
        QCOMPARE(bad.invalidEntries().size(), 3);
    }

    void settingsMapEntries()
    {
        WorkDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(dir.writeIni("[tally]\nscreen=1\n"
                             "map\\1.5=20\n"
                             "map\\2.1=9\n"
                             "map/3.3=0\n"
                             "map\\1.6=abc\n"      // not a number: the identity stays
                             "map\\x.1=5\n"
                             "map\\1.2.3=5\n"
                             "map\\1=5\n"
                             "map\\65535.1=5\n"   // broadcast screen as a key
                             "map\\1.65535=5\n"
                             "map\\1.7=-3\n"
                             "map\\1.8=200\n"));
        const TallySettings s = TallySettings::read();
        TallyMap::Overrides expected;
        expected.insert({1, 5}, 20);
        expected.insert({2, 1}, 9);
        expected.insert({3, 3}, 0);
        expected.insert({1, 8}, 200);
        QCOMPARE(s.map, expected);
        const TallyMap map = s.tallyMap();
        QCOMPARE(ints(map.addresses(1, 5)), QList<int>{20});
        QCOMPARE(ints(map.addresses(1, 6)), QList<int>{6});
        QCOMPARE(ints(map.addresses(1, 7)), QList<int>{7});
        QCOMPARE(ints(map.addresses(1, 8)), QList<int>{});
        QCOMPARE(ints(map.addresses(2, 1)), QList<int>{9});
    }

    void settingsWriteRead()
    {
        WorkDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(dir.writeIni("[serial]\nport=/dev/ttyS1\n[tally]\nmap\\0.1=3\nmap\\0.2=4\n"));
        TallySettings s;
        s.tsl5 = true;
        s.tsl31 = true;
        s.tsl5Port = 9100;
        s.tsl31Port = 65535;
        s.screen = 65534;
        s.bind = QStringLiteral("::");
        s.allow = QStringLiteral("10.0.0.1, 2001:db8::/32");
        s.map.insert({65534, 0}, 126);
        s.map.insert({0, 2}, 0);
        s.write();

        const TallySettings r = TallySettings::read();
        QCOMPARE(r.tsl5, true);
        QCOMPARE(r.tsl31, true);
        QCOMPARE(r.tsl5Port, quint16(9100));
        QCOMPARE(r.tsl31Port, quint16(65535));
        QCOMPARE(r.screen, quint16(65534));
        QCOMPARE(r.bind, QStringLiteral("::"));
        QCOMPARE(r.allow, s.allow);
        QCOMPARE(r.map, s.map); // the entry for 0.1 is gone
        const QByteArray ini = dir.readIni();
        QVERIFY2(ini.contains("port=/dev/ttyS1"), ini.constData()); // other groups untouched
        QVERIFY2(ini.contains("tsl5port=9100"), ini.constData());

        TallySettings back;
        back.write();
        const TallySettings d = TallySettings::read();
        QCOMPARE(d.tsl5, false);
        QCOMPARE(d.bind, QStringLiteral("127.0.0.1"));
        QVERIFY(d.map.isEmpty());
        QVERIFY(d.allowList().allowsEveryone());
    }
};

QTEST_GUILESS_MAIN(TestTslDecoding)
#include "tst_tsldecoding.moc"
