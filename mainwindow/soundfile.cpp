#include "mainwindow/soundfile.h"

qint64 SoundFile::size() const
{
    const qint64 bytes = QFile::size();
    return bytes - bytes % frameBytes;
}

bool SoundFile::atEnd() const
{
    return !isOpen() || pos() >= size();
}

qint64 SoundFile::readData(char *data, qint64 maxSize)
{
    const qint64 left = size() - pos();
    return left > 0 ? QFile::readData(data, qMin(maxSize, left)) : 0;
}
