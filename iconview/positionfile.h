#ifndef POSITIONFILE_H
#define POSITIONFILE_H

#include <QMap>
#include <QPoint>
#include <QtGlobal>

class QIODevice;

// The icon positions file: a big-endian data stream of the entry count, then
// per entry the address byte, x and y, from the highest address down.
class PositionFile
{
public:
    using Map = QMap<quint8, QPoint>;

    // False, with *positions untouched, when the device holds less than its
    // count says.
    static bool read(QIODevice *device, Map *positions);
    static void write(QIODevice *device, const Map &positions);
};

#endif // POSITIONFILE_H
