#ifndef SOUNDFILE_H
#define SOUNDFILE_H

#include <QFile>

// A sound file as the audio output reads it: cut to whole sample frames.
// Handed a partial frame at the end, as a file cut short or one that holds
// no sound at all may leave, the output blocks the whole program for good.
class SoundFile : public QFile
{
public:
    explicit SoundFile(int bytesPerFrame) : frameBytes(qMax(1, bytesPerFrame)) {}

    // Read-only and unbuffered, so that reads stop exactly at the cut.
    bool openToPlay() { return open(QIODevice::ReadOnly | QIODevice::Unbuffered); }

    // The bytes of the whole frames in the file.
    qint64 size() const override;
    bool atEnd() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;

private:
    qint64 frameBytes;
};

#endif // SOUNDFILE_H
