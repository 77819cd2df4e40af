#include "mainwindow/alarmsound.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QFile>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QSet>

#include <limits>

namespace {

constexpr char SoundFileName[] = "alarm.wav";

// Asked of every output before it starts, so that every play gets the same
// buffer. The sound server keeps about half of it queued: the event loop may
// stall that long before the sound breaks up. (Several seconds cost the first
// play on an idle sink its beginning.)
constexpr qint64 BufferUSecs = 1'000'000;
// How often a play in progress is looked at.
constexpr int CheckMs = 50;
// A play not heard to its end this long after the file's own length has
// stalled on the server's side; it is dropped so that the next one can play.
constexpr qint64 GiveUpUSecs = 3'000'000;
// How long a stopped output is kept before it is deleted.
constexpr int RetireMs = 5000;

// The stopped outputs not yet deleted. One stopped in the last seconds of a
// run is kept to the end of the process on purpose; listed here, it is
// plainly kept, not lost (a leak checker sees it as still referenced).
QSet<QAudioSink *> &retiring()
{
    static auto *outputs = new QSet<QAudioSink *>;
    return *outputs;
}

} // namespace

AlarmSound::AlarmSound(QObject *parent)
    : QObject(parent), file(format().bytesPerFrame())
{
    watch.setInterval(CheckMs);
    connect(&watch, &QTimer::timeout, this, &AlarmSound::checkPlay);
}

AlarmSound::~AlarmSound()
{
    stop();
}

QAudioFormat AlarmSound::format()
{
    // 16-bit PCM as a WAV file holds it; Qt 6 knows no unsigned 16-bit samples.
    QAudioFormat format;
    format.setSampleRate(44100);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

bool AlarmSound::defaultOutputSupported()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    return !device.isNull() && device.isFormatSupported(format());
}

void AlarmSound::play()
{
    if (output)
        return;
    // The working directory's own sound first; else the installed one.
    const QString installed = QCoreApplication::applicationDirPath()
        + QStringLiteral("/" KC_DATA_RELDIR "/") + QLatin1String(SoundFileName);
    file.setFileName(QFile::exists(QLatin1String(SoundFileName)) || !QFile::exists(installed)
                         ? QLatin1String(SoundFileName) : installed);
    if (!file.openToPlay()) {
        qDebug("Audio file not found");
        return;
    }
    // Asked at every play: after the sound server went away and came back,
    // or with a new default device, the one found before may lead nowhere.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(format())) {
        file.close();
        return;
    }
    // Without a parent: Qt gives the output's parent its inner part too,
    // which must not outlive the output, nor go before it.
    output = new QAudioSink(device, format());
    output->setBufferSize(format().bytesForDuration(BufferUSecs));
    fileUSecs = format().durationForBytes(
        int(qMin<qint64>(file.size(), std::numeric_limits<int>::max())));
    clock.start();
    watch.start();
    output->start(&file);
    // It fails at once without a connection to the sound server.
    if (output->state() == QAudio::StoppedState)
        stop();
}

void AlarmSound::stop()
{
    watch.stop();
    if (output) {
        output->stop();
        // The sound server may still answer for the stream just closed, and
        // Qt hands its answers to the output: it is deleted only once they
        // have surely come. (Should the event loop have ended by then, it is
        // left to the end of the process.)
        QAudioSink *stopped = output;
        retiring().insert(stopped);
        connect(stopped, &QObject::destroyed, [stopped] { retiring().remove(stopped); });
        QTimer::singleShot(RetireMs, stopped, &QObject::deleteLater);
        output = nullptr;
    }
    file.close();
}

void AlarmSound::checkPlay()
{
    if (!output)
        return;
    const qint64 elapsed = clock.nsecsElapsed() / 1000;
    const QAudio::State state = output->state();
    const QAudio::Error error = output->error();
    // Stopped by itself, the output gave up, e.g. when the sound server went
    // away; an underrun is only a pause.
    bool over = state == QAudio::StoppedState
        || (error != QAudio::NoError && error != QAudio::UnderrunError)
        || elapsed > fileUSecs + GiveUpUSecs;
    // Idle comes with an underrun in mid-file too, and at the file's end while
    // the server still holds the rest of it: stopping then would cut the sound
    // short. It is over once the server has processed all of it, which cannot
    // take less time than the sound lasts.
    if (state == QAudio::IdleState && file.atEnd() && elapsed >= fileUSecs
        && output->processedUSecs() >= fileUSecs)
        over = true;
    if (over)
        stop();
}
