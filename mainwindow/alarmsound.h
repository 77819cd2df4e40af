#ifndef ALARMSOUND_H
#define ALARMSOUND_H

#include "mainwindow/soundfile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QAudioFormat;
class QAudioSink;

// Plays "alarm.wav" from the working directory on the default audio output
// (without one there, the installed tree's copy in its data directory),
// raw as samples of one fixed format, one play at a time.
//
// Every play gets an output of its own, dropped when the play is over. One
// output reused across plays inherits a smaller buffer each time until it no
// longer starts at all, and stays bound to the device it was made for, which
// may be gone after the sound server restarted.
class AlarmSound : public QObject
{
    Q_OBJECT

public:
    explicit AlarmSound(QObject *parent = nullptr);
    ~AlarmSound() override;

    // 44100 Hz, 2 channels, 16-bit samples.
    static QAudioFormat format();
    // Whether the default output exists and accepts format().
    static bool defaultOutputSupported();

public slots:
    // Starts a play, unless one is in progress: a play is never restarted
    // or overlapped. Writes "Audio file not found" to the debug output when
    // the file cannot be opened. Without a usable output nothing plays, and
    // the next call tries again with the then default output.
    void play();
    // Ends the play in progress at once and closes the file.
    void stop();

private slots:
    void checkPlay();

private:
    QAudioSink *output = nullptr;
    SoundFile file;
    QTimer watch;        // runs while a play is in progress
    QElapsedTimer clock; // since the start of the play
    qint64 fileUSecs = 0;
};

#endif // ALARMSOUND_H
