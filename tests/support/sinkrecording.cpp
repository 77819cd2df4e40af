#include "tests/support/sinkrecording.h"

#include <QTest>
#include <QtEndian>

bool soundServerRunning()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return pactl.waitForFinished(3000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

bool SinkRecording::start()
{
    recorder.setStandardOutputFile(QStringLiteral("heard.raw"));
    recorder.start(QStringLiteral("parec"), {"-d", "@DEFAULT_MONITOR@", "--format=s16le", "--channels=2",
                                              "--latency-msec=20", QStringLiteral("--rate=%1").arg(SampleRate),
                                              "--raw"});
    file.setFileName(QStringLiteral("heard.raw"));
    return recorder.waitForStarted(3000)
        && QTest::qWaitFor([this] { return file.size() > 0 && file.open(QIODevice::ReadOnly); }, 5000);
}

QList<QPair<double, double>> SinkRecording::plays()
{
    const QByteArray pcm = file.readAll();
    for (qsizetype at = 0; at + 4 <= pcm.size(); at += 4, ++frames) {
        const char *frame = pcm.constData() + at;
        if (qMax(qAbs(qFromLittleEndian<qint16>(frame)), qAbs(qFromLittleEndian<qint16>(frame + 2))) <= Audible)
            continue;
        if (heard.isEmpty() || ms(frames) - heard.last().second > PlayGapMs)
            heard.append({ms(frames), ms(frames)});
        heard.last().second = ms(frames);
    }
    return heard;
}

qsizetype SinkRecording::ended()
{
    return plays().size() - (!heard.isEmpty() && ms(frames) - heard.last().second <= PlayGapMs);
}

double SinkRecording::recordedMs()
{
    plays();
    return ms(frames);
}

QList<QPair<double, double>> SinkRecording::playsIn(const QString &name)
{
    SinkRecording sound;
    sound.file.setFileName(name);
    return sound.file.open(QIODevice::ReadOnly) ? sound.plays() : QList<QPair<double, double>>();
}

bool SinkRecording::complete()
{
    const QList<QPair<double, double>> reference = playsIn(QStringLiteral("alarm.wav"));
    bool complete = reference.size() == 1;
    for (const auto &[first, last] : plays()) {
        complete = complete && last - first >= 0.95 * (reference.first().second - reference.first().first);
        qInfo("heard %.0f ms from %.0f ms", last - first, first);
    }
    return complete;
}
