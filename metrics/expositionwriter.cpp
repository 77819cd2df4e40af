#include "metrics/expositionwriter.h"

#include <QLocale>

#include <cmath>

void ExpositionWriter::family(const QByteArray &name, const QByteArray &type, const QString &help)
{
    out += "# HELP " + name + ' ' + escapeHelp(help) + '\n';
    out += "# TYPE " + name + ' ' + type + '\n';
}

void ExpositionWriter::sample(const QByteArray &name, double value, const Labels &labels)
{
    writeSample(name, number(value), labels);
}

void ExpositionWriter::sample(const QByteArray &name, qint64 value, const Labels &labels)
{
    writeSample(name, QByteArray::number(value), labels);
}

void ExpositionWriter::writeSample(const QByteArray &name, const QByteArray &value, const Labels &labels)
{
    out += name;
    if (!labels.isEmpty()) {
        out += '{';
        for (qsizetype i = 0; i < labels.size(); ++i) {
            if (i)
                out += ',';
            out += labels.at(i).first + "=\"" + escapeLabelValue(labels.at(i).second) + '"';
        }
        out += '}';
    }
    out += ' ' + value + '\n';
}

QByteArray ExpositionWriter::escapeLabelValue(const QString &value)
{
    QByteArray escaped;
    for (char c : value.toUtf8()) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '"': escaped += "\\\""; break;
        case '\n': escaped += "\\n"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

QByteArray ExpositionWriter::escapeHelp(const QString &help)
{
    QByteArray escaped;
    for (char c : help.toUtf8()) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

QByteArray ExpositionWriter::number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}
