// The acknowledgement's rules, with the times handed in: which kinds count
// as new, what an alarm that clears and a duration undo, and when the next
// acknowledgement runs out.
#include "supervision/alarmacknowledgement.h"

#include <QtTest>

namespace {

using AlarmKinds::Kind;
using Kinds = AlarmAcknowledgement::Kinds;

constexpr Kinds bit(Kind kind) { return Kinds(1) << kind; }
constexpr Kinds Mute = bit(AlarmKinds::AudioMute);
constexpr Kinds Blue = bit(AlarmKinds::BlueField);
constexpr qint64 Minute = 60000;

} // namespace

class TestAlarmAcknowledgement : public QObject
{
    Q_OBJECT

private slots:
    // A kind not acknowledged is new; acknowledging what is acknowledged
    // already changes nothing; a kind that clears drops out, and its return
    // is new again; the last one gone, nothing is left of the address.
    void kindSets()
    {
        AlarmAcknowledgement acks;
        QVERIFY(!acks.acknowledge(5, 0, 0, 0)); // no alarm, nothing to acknowledge
        QVERIFY(acks.isEmpty());
        QVERIFY(acks.acknowledge(5, Mute, 0, 0));
        QVERIFY(acks.covers(5, Mute) && !acks.covers(5, Mute | Blue) && !acks.covers(6, Mute) && !acks.covers(5, 0));
        QVERIFY(!acks.acknowledge(5, Mute, 10, 0));
        QVERIFY(acks.acknowledge(5, Mute | Blue, 20, 0));
        QVERIFY(acks.covers(5, Blue) && acks.covers(5, Mute | Blue));
        QVERIFY(!acks.keepPresent(5, Mute | Blue));
        QVERIFY(acks.keepPresent(5, Blue)); // mute cleared
        QCOMPARE(acks.acknowledgedKinds(5), Blue);
        QVERIFY(!acks.covers(5, Mute | Blue)); // and came back
        QVERIFY(acks.keepPresent(5, 0));
        QVERIFY(acks.isEmpty() && acks.nextExpiry() == -1);
    }

    // An acknowledgement with minutes runs out whole at that time, a new kind
    // starting it again; one without never runs out; the link's alike.
    void expiry()
    {
        AlarmAcknowledgement acks;
        bool link = true;
        QVERIFY(acks.acknowledge(5, Mute, 1000, 1));
        QVERIFY(acks.acknowledge(6, Blue, 2000, 0));
        QVERIFY(acks.acknowledgeLink(3000, 2) && !acks.acknowledgeLink(4000, 2));
        QCOMPARE(acks.nextExpiry(), 1000 + Minute);
        QCOMPARE(acks.expire(Minute + 999, &link), QList<quint8>());
        QVERIFY(!link);
        QVERIFY(acks.acknowledge(5, Mute | Blue, 30000, 1));
        QCOMPARE(acks.nextExpiry(), 30000 + Minute);
        QCOMPARE(acks.expire(30000 + Minute, &link), QList<quint8>({5}));
        QVERIFY(!link && acks.covers(6, Blue));
        QCOMPARE(acks.nextExpiry(), 3000 + 2 * Minute);
        QCOMPARE(acks.expire(1000 * Minute, &link), QList<quint8>());
        QVERIFY(link && !acks.linkAcknowledged() && acks.covers(6, Blue) && acks.nextExpiry() == -1);
        QVERIFY(acks.acknowledgeLink(0, 0) && acks.clearLink() && !acks.clearLink());
        QVERIFY(acks.remove(6) && !acks.remove(6) && acks.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAlarmAcknowledgement)
#include "tst_alarmacknowledgement.moc"
