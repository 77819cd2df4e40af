// The scrape text against the simulated bus: exchanges and failures by kind
// against the line's own trace, the time histogram against the line's times,
// the gauges against alarms, zombies and a lost link; and every scrape read
// by a strict reader of the text format.
#include "tests/support/sanitizerbuild.h"
#include "tests/support/supervisionfixture.h"

#include "metrics/metricscollector.h"
#include "transport/rsthread.h"

#include <QRegularExpression>
#include <QtTest>

#include <chrono>
#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;

// One scrape as a strict reader sees it: every sample by its series
// ("name{label="value",...}" with the labels as written), and what is wrong.
struct Scrape
{
    QMap<QString, double> samples;
    QMap<QString, QString> types; // family -> type
    QStringList errors;

    double value(const QString &series) const { return samples.value(series, std::nan("")); }
    bool has(const QString &series) const { return samples.contains(series); }
};

const QRegularExpression metricName(QStringLiteral("^[a-zA-Z_:][a-zA-Z0-9_:]*$"));
const QRegularExpression labelName(QStringLiteral("^[a-zA-Z_][a-zA-Z0-9_]*$"));

bool parseValue(const QString &text, double *value)
{
    if (text == QLatin1String("+Inf")) { *value = INFINITY; return true; }
    if (text == QLatin1String("-Inf")) { *value = -INFINITY; return true; }
    if (text == QLatin1String("NaN")) { *value = NAN; return true; }
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok;
}

// The family a sample belongs to: a histogram's _bucket, _sum and _count
// belong to the histogram's name.
QString familyOf(const QString &name, const QMap<QString, QString> &types)
{
    for (const char *suffix : {"_bucket", "_sum", "_count"}) {
        if (name.endsWith(QLatin1String(suffix))) {
            const QString base = name.chopped(int(qstrlen(suffix)));
            if (types.value(base) == QLatin1String("histogram"))
                return base;
        }
    }
    return name;
}

// Reads the text exposition format 0.0.4 strictly: the grammar of names,
// labels, escapes and values; TYPE and HELP at most once and before the
// family's samples; a family's samples together; no series twice; counters
// named _total and never negative; histogram buckets rising in le and
// cumulative, ending with le="+Inf" equal to _count.
Scrape readExposition(const QByteArray &text)
{
    Scrape s;
    auto fail = [&s](int line, const QString &why) { s.errors << QStringLiteral("line %1: %2").arg(line).arg(why); };
    if (!text.endsWith('\n'))
        s.errors << QStringLiteral("no line feed at the end");
    QSet<QString> helped, closedFamilies;
    QString currentFamily;
    struct Histogram { QList<QPair<double, double>> buckets; double count = NAN; bool sum = false; };
    QMap<QString, Histogram> histograms; // by family and labels other than le
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size() - 1; ++n) {
        const QString &line = lines.at(n);
        const int no = n + 1;
        if (line.isEmpty()) { fail(no, QStringLiteral("empty line")); continue; }
        if (line.startsWith(QLatin1Char('#'))) {
            const QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() < 3 || (parts.at(1) != QLatin1String("HELP") && parts.at(1) != QLatin1String("TYPE"))) {
                fail(no, QStringLiteral("a comment other than HELP or TYPE"));
                continue;
            }
            const QString name = parts.at(2);
            if (!metricName.match(name).hasMatch())
                fail(no, QStringLiteral("bad metric name ") + name);
            if (closedFamilies.contains(name) || (currentFamily == name && !s.types.contains(name) && parts.at(1) == QLatin1String("TYPE")))
                fail(no, QStringLiteral("%1 after the samples of %2").arg(parts.at(1), name));
            if (parts.at(1) == QLatin1String("HELP")) {
                if (helped.contains(name))
                    fail(no, QStringLiteral("second HELP for ") + name);
                helped << name;
                const QString help = line.section(QLatin1Char(' '), 3);
                for (int i = 0; i < help.size(); ++i)
                    if (help.at(i) == QLatin1Char('\\') && (i + 1 >= help.size() || !QStringLiteral("\\n").contains(help.at(++i))))
                        fail(no, QStringLiteral("bad escape in HELP"));
            } else {
                if (s.types.contains(name))
                    fail(no, QStringLiteral("second TYPE for ") + name);
                if (parts.size() != 4 || !QStringList{"counter", "gauge", "histogram", "summary", "untyped"}.contains(parts.at(3)))
                    fail(no, QStringLiteral("bad TYPE line"));
                else
                    s.types.insert(name, parts.at(3));
            }
            continue;
        }
        // name{labels} value
        int i = 0;
        while (i < line.size() && line.at(i) != QLatin1Char('{') && line.at(i) != QLatin1Char(' '))
            ++i;
        const QString name = line.left(i);
        if (!metricName.match(name).hasMatch()) { fail(no, QStringLiteral("bad metric name ") + name); continue; }
        QList<QPair<QString, QString>> labels;
        bool bad = false;
        if (i < line.size() && line.at(i) == QLatin1Char('{')) {
            ++i;
            while (!bad && i < line.size() && line.at(i) != QLatin1Char('}')) {
                int eq = line.indexOf(QLatin1Char('='), i);
                if (eq < 0) { bad = true; break; }
                const QString label = line.mid(i, eq - i);
                if (!labelName.match(label).hasMatch() || eq + 1 >= line.size() || line.at(eq + 1) != QLatin1Char('"')) { bad = true; break; }
                QString value;
                int j = eq + 2;
                for (; j < line.size() && line.at(j) != QLatin1Char('"'); ++j) {
                    if (line.at(j) == QLatin1Char('\\')) {
                        if (++j >= line.size()) { bad = true; break; }
                        const QChar e = line.at(j);
                        if (e == QLatin1Char('n')) value += QLatin1Char('\n');
                        else if (e == QLatin1Char('\\') || e == QLatin1Char('"')) value += e;
                        else { bad = true; break; }
                    } else {
                        value += line.at(j);
                    }
                }
                if (bad || j >= line.size()) { bad = true; break; }
                for (const auto &l : labels)
                    if (l.first == label) bad = true;
                labels << qMakePair(label, value);
                i = j + 1;
                if (i < line.size() && line.at(i) == QLatin1Char(','))
                    ++i;
                else if (i >= line.size() || line.at(i) != QLatin1Char('}'))
                    bad = true;
            }
            if (i >= line.size()) bad = true;
            ++i;
        }
        if (bad || i >= line.size() || line.at(i) != QLatin1Char(' ')) { fail(no, QStringLiteral("bad labels or separator")); continue; }
        double value = 0;
        if (!parseValue(line.mid(i + 1), &value)) { fail(no, QStringLiteral("bad value")); continue; }

        const QString family = familyOf(name, s.types);
        if (!s.types.contains(family))
            fail(no, QStringLiteral("sample of %1 before its TYPE").arg(family));
        if (family != currentFamily) {
            if (closedFamilies.contains(family))
                fail(no, QStringLiteral("samples of %1 not together").arg(family));
            if (!currentFamily.isEmpty())
                closedFamilies << currentFamily;
            currentFamily = family;
        }
        QString series = name;
        if (!labels.isEmpty()) {
            QStringList written;
            for (const auto &l : labels)
                written << QStringLiteral("%1=\"%2\"").arg(l.first, l.second);
            series += QLatin1Char('{') + written.join(QLatin1Char(',')) + QLatin1Char('}');
        }
        if (s.samples.contains(series))
            fail(no, QStringLiteral("series twice: ") + series);
        s.samples.insert(series, value);

        const QString type = s.types.value(family);
        if (type == QLatin1String("counter") && (!name.endsWith(QLatin1String("_total")) || !(value >= 0)))
            fail(no, QStringLiteral("counter not named _total or negative"));
        if (type == QLatin1String("histogram")) {
            QString le;
            QStringList others;
            for (const auto &l : labels) {
                if (l.first == QLatin1String("le"))
                    le = l.second;
                else
                    others << l.first + QLatin1Char('=') + l.second;
            }
            Histogram &h = histograms[family + others.join(QLatin1Char(','))];
            if (name.endsWith(QLatin1String("_bucket"))) {
                double bound = 0;
                if (le.isEmpty() || !parseValue(le, &bound)) { fail(no, QStringLiteral("bucket without a valid le")); continue; }
                if (!h.buckets.isEmpty() && (bound <= h.buckets.last().first || value < h.buckets.last().second))
                    fail(no, QStringLiteral("buckets not rising or not cumulative"));
                h.buckets << qMakePair(bound, value);
            } else if (name.endsWith(QLatin1String("_count"))) {
                h.count = value;
            } else if (name.endsWith(QLatin1String("_sum"))) {
                h.sum = true;
            }
        }
    }
    if (!currentFamily.isEmpty())
        closedFamilies << currentFamily;
    for (auto it = histograms.cbegin(); it != histograms.cend(); ++it) {
        const Histogram &h = it.value();
        if (h.buckets.isEmpty() || !std::isinf(h.buckets.last().first) || h.buckets.last().second != h.count || !h.sum)
            s.errors << QStringLiteral("histogram %1: no le=\"+Inf\" bucket equal to _count, or no _sum").arg(it.key());
    }
    return s;
}

Scrape scrape(const MetricsCollector &collector)
{
    const Scrape s = readExposition(collector.text());
    if (!s.errors.isEmpty())
        qWarning("%s\n%s", qPrintable(s.errors.join(QLatin1Char('\n'))), collector.text().constData());
    return s;
}

QString kindOfRequest(const QByteArray &frame)
{
    const quint8 second = frame.size() > 1 ? quint8(frame.at(1)) : 0;
    if ((second & 0xF0) == 0x30)
        return QStringLiteral("umd");
    return MetricsCollector::kindName(MetricsCollector::kindOf(second));
}

struct LineCounts
{
    QMap<QString, int> requests, unanswered;
    QList<qint64> answeredUs; // each answered exchange, request to reply
};

// Each request in the trace with its kind; answered when a reply from its
// address follows before the next request. The first `probes` requests are
// a search's, which runs before anything else.
LineCounts countLine(const QList<SimTraceEntry> &trace, int baud, int probes = 0)
{
    const auto byteTime = std::chrono::nanoseconds(baud ? (10'000'000'000LL + baud / 2) / baud : 0);
    LineCounts c;
    int open = -1; // index into trace of the request awaiting a reply
    QString openKind;
    auto close = [&](bool answered, Clock::time_point end) {
        if (open < 0)
            return;
        if (answered)
            c.answeredUs << std::chrono::duration_cast<std::chrono::microseconds>(end - trace.at(open).start + byteTime).count();
        else if (openKind != QLatin1String("umd")) // a UMD frame waits for nothing
            ++c.unanswered[openKind];
        open = -1;
    };
    for (int i = 0; i < trace.size(); ++i) {
        const SimTraceEntry &e = trace.at(i);
        if (e.kind == SimTraceEntry::Request) {
            close(false, trace.at(open < 0 ? i : open).end);
            open = i;
            openKind = probes-- > 0 ? QStringLiteral("search") : kindOfRequest(e.bytes);
            ++c.requests[openKind];
        } else if (e.kind == SimTraceEntry::Reply && open >= 0 && e.address == trace.at(open).address) {
            close(true, e.end);
        }
    }
    if (open >= 0)
        close(false, trace.at(open).end);
    return c;
}

// The worker ends after the exchange in progress and the main thread takes
// in the last of them: the counters and the trace then hold the same ones.
void freeze(SupervisionFixture &f)
{
    f.controller->transactionThread()->stopBus();
    QTest::qWait(150);
}

QString kindSeries(const char *name, const QString &kind)
{
    return QStringLiteral("%1{kind=\"%2\"}").arg(QLatin1String(name), kind);
}

bool startCounting(SupervisionFixture &f, std::unique_ptr<MetricsCollector> &collector,
                   const QList<quint8> &addresses, int timeoutMs)
{
    for (quint8 address : addresses)
        if (!f.bus.addMonitor(SupervisionFixture::monitorState(address)))
            return false;
    f.writeSettings(QString(), timeoutMs);
    f.createController();
    collector = std::make_unique<MetricsCollector>(f.controller.get());
    return f.searchUpTo(addresses.last());
}

} // namespace

class TestMetrics : public QObject
{
    Q_OBJECT

private slots:
    // The reader itself: each kind of fault it exists to find is found.
    void readerRejectsBrokenText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("no TYPE") << QByteArray("a 1\n");
        QTest::newRow("bad name") << QByteArray("# TYPE 1a gauge\n1a 1\n");
        QTest::newRow("TYPE after sample") << QByteArray("# TYPE a gauge\na 1\n# TYPE a gauge\n");
        QTest::newRow("bad escape") << QByteArray("# TYPE a gauge\na{l=\"x\\y\"} 1\n");
        QTest::newRow("unquoted") << QByteArray("# TYPE a gauge\na{l=x} 1\n");
        QTest::newRow("bad value") << QByteArray("# TYPE a gauge\na one\n");
        QTest::newRow("counter name") << QByteArray("# TYPE a counter\na 1\n");
        QTest::newRow("split family") << QByteArray("# TYPE a gauge\n# TYPE b gauge\na 1\nb 1\na{x=\"1\"} 2\n");
        QTest::newRow("not cumulative") << QByteArray("# TYPE h histogram\nh_bucket{le=\"1\"} 3\nh_bucket{le=\"+Inf\"} 2\nh_sum 1\nh_count 2\n");
        QTest::newRow("Inf not count") << QByteArray("# TYPE h histogram\nh_bucket{le=\"1\"} 1\nh_bucket{le=\"+Inf\"} 2\nh_sum 1\nh_count 3\n");
        QTest::newRow("no Inf") << QByteArray("# TYPE h histogram\nh_bucket{le=\"1\"} 1\nh_sum 1\nh_count 1\n");
        QTest::newRow("no final LF") << QByteArray("# TYPE a gauge\na 1");
        QTest::newRow("duplicate") << QByteArray("# TYPE a gauge\na 1\na 2\n");
    }
    void readerRejectsBrokenText()
    {
        QFETCH(QByteArray, text);
        QVERIFY(!readExposition(text).errors.isEmpty());
        QVERIFY(readExposition("# HELP a A \\\\ b\\n\n# TYPE a gauge\na{l=\"q\\\"\\\\\\n\"} 1\n").errors.isEmpty());
    }

    // Every exchange is counted once under its kind, every unanswered one
    // as a failure: the same figures as the line's own trace, through a
    // search, start-up queries, a silent monitor, one that dies, an alarm
    // and a control key.
    void exchangesAgainstTrace()
    {
        SupervisionFixture f;
        std::unique_ptr<MetricsCollector> collector;
        QVERIFY(startCounting(f, collector, {5, 6, 7}, 40));
        QTRY_VERIFY_WITH_TIMEOUT(collector->exchanges(MetricsCollector::Query) >= 3, 5000);
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Silence)));
        QVERIFY(f.bus.setFault(7, SimFault(SimFault::DiesAfterPolls, 5)));
        QVERIFY(f.bus.setAlarm(6, 0x08));
        f.controller->sendControl(0x01, 6);
        f.controller->sendUmd("CAM 6   ", 1, 6);
        QVERIFY(f.waitForMessage(QStringLiteral("[MONITOR]: ZOMBIE - SN(KV0005) - ADDRESS(5)")));
        QVERIFY(f.waitForMessage(QStringLiteral("[MONITOR]: ZOMBIE - SN(KV0007) - ADDRESS(7)")));
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::None)));
        QTRY_VERIFY_WITH_TIMEOUT(!(f.controller->monitorAt(0)->state & CMonitor::StateZombie), 5000);
        QTest::qWait(500);
        freeze(f);

        // The search probes 1 to 8: the probe chosen before it was cancelled
        // at the announcement of 8 still runs.
        const LineCounts line = countLine(f.bus.trace(), 0, 8);
        QList<quint8> probed;
        for (const SimTraceEntry &e : f.bus.trace())
            if (e.kind == SimTraceEntry::Request && probed.size() < 8)
                probed << (kindOfRequest(e.bytes) == QLatin1String("poll") ? e.address : 0);
        QCOMPARE(probed, QList<quint8>({1, 2, 3, 4, 5, 6, 7, 8}));
        const Scrape s = scrape(*collector);
        QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
        int total = 0;
        for (int k = 0; k < MetricsCollector::KindCount; ++k) {
            const QString kind = MetricsCollector::kindName(MetricsCollector::Kind(k));
            const int requests = line.requests.value(kind);
            const int failed = line.unanswered.value(kind);
            qInfo("%-8s line %5d requests %4d unanswered; scrape %5.0f exchanges %4.0f failures", qPrintable(kind),
                  requests, failed, s.value(kindSeries("kc_bus_exchanges_total", kind)),
                  s.value(kindSeries("kc_bus_exchange_failures_total", kind)));
            QCOMPARE(s.value(kindSeries("kc_bus_exchanges_total", kind)), double(requests));
            QCOMPARE(s.value(kindSeries("kc_bus_exchange_failures_total", kind)), double(failed));
            total += requests;
        }
        // Every kind of exchange this run was meant to make did happen.
        for (const char *kind : {"poll", "search", "alarm", "update", "query", "control", "umd"})
            QVERIFY2(line.requests.value(QLatin1String(kind)) > 0, kind);
        QVERIFY(line.unanswered.value(QStringLiteral("poll")) >= 10);
        QCOMPARE(line.unanswered.value(QStringLiteral("search")), 5); // 1 to 4 and 8 are empty
        QCOMPARE(s.value(QStringLiteral("kc_bus_exchange_seconds_count")), double(total - line.requests.value(QStringLiteral("umd"))));
    }

    // The histogram against the line's times at 9600 baud with one monitor
    // answering 100 ms late: the same number of exchanges beyond 50 ms, and
    // the same total time within a few ms per exchange.
    void timesAgainstTrace()
    {
        constexpr int Baud = 9600;
        SupervisionFixture f;
        f.bus.setBaud(Baud);
        std::unique_ptr<MetricsCollector> collector;
        QVERIFY(startCounting(f, collector, {5, 6}, 150));
        QVERIFY(f.bus.setFault(5, SimFault(SimFault::Late, 100)));
        QTRY_VERIFY_WITH_TIMEOUT(collector->exchanges(MetricsCollector::Poll) >= 60, 15000);
        freeze(f);

        const LineCounts line = countLine(f.bus.trace(), Baud);
        const Scrape s = scrape(*collector);
        QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
        // An unanswered exchange lasts the time-out, which the line cannot
        // show: the search's probes of empty addresses.
        int unanswered = 0;
        for (int n : line.unanswered)
            unanswered += n;
        const qsizetype slowAnswers = std::count_if(line.answeredUs.begin(), line.answeredUs.end(), [](qint64 us) { return us > 50000; });
        qint64 answeredSumUs = 0;
        for (qint64 us : line.answeredUs)
            answeredSumUs += us;
        const double count = s.value(QStringLiteral("kc_bus_exchange_seconds_count"));
        const double slow = count - s.value(QStringLiteral("kc_bus_exchange_seconds_bucket{le=\"0.05\"}"));
        const double sumUs = s.value(QStringLiteral("kc_bus_exchange_seconds_sum")) * 1e6;
        const QString figures = QStringLiteral("line: %1 answered, %2 of them over 50 ms, %3 us in all, %4 unanswered; "
                                               "scrape: %5 timed, %6 over 50 ms, %7 us in all")
                                    .arg(line.answeredUs.size()).arg(slowAnswers).arg(answeredSumUs).arg(unanswered)
                                    .arg(count).arg(slow).arg(qint64(sumUs));
        qInfo("%s", qPrintable(figures));
        QCOMPARE(count, double(line.answeredUs.size() + unanswered));
        QVERIFY2(slowAnswers >= 20 && unanswered >= 4, qPrintable(figures));
        QCOMPARE(slow, double(slowAnswers + unanswered));
        if (!threadSanitized()) {
            // The time-outs, read in steps of 10 ms, plus a few ms of
            // disagreement per exchange.
            const double restUs = sumUs - double(answeredSumUs);
            QVERIFY2(restUs >= unanswered * 150000.0 - 3000.0 * count && restUs <= unanswered * 185000.0 + 3000.0 * count,
                     qPrintable(figures));
        }
        // The buckets between: polls of the healthy monitor sit at a few ms.
        QVERIFY2(s.value(QStringLiteral("kc_bus_exchange_seconds_bucket{le=\"0.01\"}")) > 0, qPrintable(figures));
    }

    // The gauges follow alarms, acknowledgements, zombies and the link, each
    // time again, while the counters never go back.
    void gaugesFollowTheBus()
    {
        SupervisionFixture f;
        f.linkBus(); // the device comes back on another node behind it
        QVERIFY(f.startWith({5, 6, 7}));
        MetricsCollector collector(f.controller.get());
        auto gauge = [&collector](const QString &series) { return scrape(collector).value(series); };
        const QString polls = kindSeries("kc_bus_exchanges_total", QStringLiteral("poll"));
        // The polls counted so far, NaN when the scrape is not well formed.
        auto pollCount = [&collector, &polls]() {
            const Scrape s = scrape(collector);
            return s.errors.isEmpty() ? s.value(polls) : std::nan("");
        };
        double lastPolls = 0;
        QCOMPARE(gauge(QStringLiteral("kc_monitors")), 3.0);
        QCOMPARE(gauge(QStringLiteral("kc_link_up")), 1.0);
        QCOMPARE(gauge(QStringLiteral("kc_build_info{version=\"%1\"}").arg(QStringLiteral(KC_VERSION))), 1.0);

        for (int round = 1; round <= 5; ++round) {
            QVERIFY(f.bus.setAlarm(6, 0x08));
            QTRY_COMPARE_WITH_TIMEOUT(gauge(QStringLiteral("kc_monitors_alarming")), 1.0, 3000);
            QCOMPARE(gauge(QStringLiteral("kc_monitors_acknowledged")), 0.0);
            QCOMPARE(f.controller->acknowledgeAlarms(), 1);
            QCOMPARE(gauge(QStringLiteral("kc_monitors_acknowledged")), 1.0);
            QVERIFY(f.bus.setAlarm(6, 0));
            QTRY_COMPARE_WITH_TIMEOUT(gauge(QStringLiteral("kc_monitors_alarming")), 0.0, 3000);
            QCOMPARE(gauge(QStringLiteral("kc_monitors_acknowledged")), 0.0);

            QVERIFY(f.bus.setFault(7, SimFault(SimFault::Silence)));
            QTRY_COMPARE_WITH_TIMEOUT(gauge(QStringLiteral("kc_monitors_zombie")), 1.0, 3000);
            QCOMPARE(gauge(QStringLiteral("kc_monitor_up{address=\"7\",serial=\"KV0007\"}")), 0.0);
            QCOMPARE(gauge(QStringLiteral("kc_monitor_up{address=\"6\",serial=\"KV0006\"}")), 1.0);
            QVERIFY(f.bus.setFault(7, SimFault(SimFault::None)));
            QTRY_COMPARE_WITH_TIMEOUT(gauge(QStringLiteral("kc_monitors_zombie")), 0.0, 3000);

            f.bus.setLineSilent(true);
            QTRY_COMPARE_WITH_TIMEOUT(gauge(QStringLiteral("kc_link_up")), 0.0, 3000);
            QCOMPARE(gauge(QStringLiteral("kc_link_state{state=\"busSilent\"}")), 1.0);
            QCOMPARE(gauge(QStringLiteral("kc_link_state{state=\"ok\"}")), 0.0);
            QCOMPARE(gauge(QStringLiteral("kc_monitors_zombie")), 3.0);
            f.bus.setLineSilent(false);
            QTRY_COMPARE_WITH_TIMEOUT(gauge(QStringLiteral("kc_link_up")), 1.0, 3000);
            QTRY_VERIFY2_WITH_TIMEOUT(pollCount() > lastPolls, qPrintable(QStringLiteral("round %1").arg(round)), 3000);
            lastPolls = pollCount();
        }

        QVERIFY(f.bus.vanish());
        QTRY_COMPARE_WITH_TIMEOUT(gauge(QStringLiteral("kc_link_state{state=\"portLost\"}")), 1.0, 3000);
        QCOMPARE(gauge(QStringLiteral("kc_link_up")), 0.0);
        QTRY_VERIFY_WITH_TIMEOUT(gauge(kindSeries("kc_bus_exchange_failures_total", QStringLiteral("poll"))) > 0, 3000);
        QString error;
        QVERIFY2(f.bus.reappear(&error, true), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(gauge(QStringLiteral("kc_link_up")), 1.0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(pollCount() > lastPolls, 3000);
        lastPolls = pollCount();

        // A new search replaces the list; the counters carry on.
        QVERIFY(f.searchUpTo(7));
        QCOMPARE(gauge(QStringLiteral("kc_monitors")), 3.0);
        QVERIFY(pollCount() > lastPolls);
    }

    // A serial number is what the monitor says: quotes, backslashes and
    // all, it stays one well-formed label value and reads back the same.
    void serialNumbersAreEscaped()
    {
        SupervisionFixture f;
        QVERIFY(f.startWith({5}));
        MetricsCollector collector(f.controller.get());
        const QString odd = QStringLiteral("K\"V\\5{x}");
        QVERIFY(f.bus.setSerialNumber(5, odd));
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->monitorAt(0)->serialNumber, odd, 3000);
        const Scrape s = scrape(collector);
        QVERIFY2(s.errors.isEmpty(), qPrintable(s.errors.join('\n')));
        QCOMPARE(s.value(QStringLiteral("kc_monitor_up{address=\"5\",serial=\"%1\"}").arg(odd)), 1.0);
        QVERIFY(collector.text().contains("serial=\"K\\\"V\\\\5{x}\""));
    }
};

QTEST_GUILESS_MAIN(TestMetrics)
#include "tst_metrics.moc"
