#ifndef EXPOSITIONWRITER_H
#define EXPOSITIONWRITER_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Writes the Prometheus text exposition format 0.0.4: a family's HELP and
// TYPE lines once, before its samples; label values and help texts escaped.
// Names are ours and fixed; label values may come from the bus (serial
// numbers) and are escaped, never trusted.
class ExpositionWriter
{
public:
    using Labels = QList<QPair<QByteArray, QString>>;

    // type: "gauge", "counter" or "histogram".
    void family(const QByteArray &name, const QByteArray &type, const QString &help);
    void sample(const QByteArray &name, double value, const Labels &labels = {});
    void sample(const QByteArray &name, qint64 value, const Labels &labels = {});

    QByteArray text() const { return out; }

    // Backslash, double quote and line feed, as a label value needs them.
    static QByteArray escapeLabelValue(const QString &value);
    // Backslash and line feed, as a HELP text needs them.
    static QByteArray escapeHelp(const QString &help);
    // A float as the format reads it: "+Inf", "-Inf", "NaN" or the shortest
    // exact decimal.
    static QByteArray number(double value);

private:
    void writeSample(const QByteArray &name, const QByteArray &value, const Labels &labels);

    QByteArray out;
};

#endif // EXPOSITIONWRITER_H
