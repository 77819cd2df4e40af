#ifndef SINKRECORDING_H
#define SINKRECORDING_H

#include "tests/support/helperprocess.h"

#include <QFile>
#include <QList>
#include <QPair>
#include <QString>

// Whether a sound server answers ("pactl info").
bool soundServerRunning();

// What reaches the loudspeaker: the default sink's monitor recorded as raw
// 16-bit stereo into "heard.raw" in the working directory, and cut into
// plays wherever it is quiet for more than PlayGapMs. Times are ms into the
// recording, which runs without a break.
class SinkRecording
{
public:
    static constexpr int SampleRate = 44100;
    // Louder than any noise, far quieter than the tone (full scale is 32767).
    static constexpr int Audible = 1000;
    // Plays are told apart by a silence longer than the pauses inside the tone.
    static constexpr int PlayGapMs = 400;

    bool start();
    // The plays heard so far, each as (first, last) audible sample in ms;
    // only the last one may still be going on.
    QList<QPair<double, double>> plays();
    // Plays followed by a silence that ended them.
    qsizetype ended();
    // How far the recording has got, in ms.
    double recordedMs();
    // The plays a file holds, played raw as the window does.
    static QList<QPair<double, double>> playsIn(const QString &name);
    // Whether every play spans at least 95% of the sound in "alarm.wav".
    bool complete();

private:
    static double ms(qint64 frame) { return frame * 1000.0 / SampleRate; }
    HelperProcess recorder;
    QFile file;
    qint64 frames = 0;
    QList<QPair<double, double>> heard;
};

#endif // SINKRECORDING_H
