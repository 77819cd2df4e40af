#ifndef METRICSCOLLECTOR_H
#define METRICSCOLLECTOR_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>

class MController;

// The supervisor's figures for a scraper. Every finished exchange is counted
// by kind as it happens (counters only grow while the process lives, as a
// scraper expects); the monitor list, the alarms and the link are read from
// the supervisor at each scrape, so they are never stale.
class MetricsCollector : public QObject
{
    Q_OBJECT

public:
    // The exchange kinds, one per command code the bus carries; Other for a
    // code we do not send. Search: a search's probe, a status poll of an
    // address that may well be empty, counted apart so that a search's
    // unanswered probes do not read as a failing bus.
    enum Kind { Poll, Search, Proto, Alarm, Update, Query, Control, Umd, Other, KindCount };

    // The upper bounds of the exchange-time histogram, in seconds: a status
    // poll at 115200 baud takes well under a millisecond, a long query at
    // 9600 baud some 30 ms, and a silent monitor the whole time-out.
    static constexpr std::array<double, 12> Buckets = {
        0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1.0, 2.5, 5.0};

    // Counts from now on; controller is not owned and must outlive this.
    explicit MetricsCollector(MController *controller, QObject *parent = nullptr);

    // The whole exposition, "text/plain; version=0.0.4". On the thread of
    // the supervisor, as every reader of it.
    QByteArray text() const;

    static Kind kindOf(quint8 code);
    // The label value of a kind ("poll", "alarm", ...).
    static QString kindName(Kind kind);

    quint64 exchanges(Kind kind) const { return exchangeCount[kind]; }
    quint64 failures(Kind kind) const { return failureCount[kind]; }

private slots:
    void noteProbe(int address);
    void noteExchange(quint8 code, quint8 address, bool ok, qint64 busTimeUs);

private:
    MController *controller;
    // The address a search announced it probes next, until its exchange
    // finishes; 0 when none. The announcement comes first, from the same
    // thread.
    int probing = 0;
    std::array<quint64, KindCount> exchangeCount{};
    std::array<quint64, KindCount> failureCount{};
    // Not cumulative here; the exposition sums them up.
    std::array<quint64, Buckets.size() + 1> bucketCount{};
    quint64 timedCount = 0;
    double timedSumSeconds = 0;
};

#endif // METRICSCOLLECTOR_H
