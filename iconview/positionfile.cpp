#include "iconview/positionfile.h"

#include <QDataStream>
#include <QIODevice>

namespace {

// Size of one entry in the file: address byte, x, y.
constexpr qint64 EntrySize = 1 + 4 + 4;

} // namespace

// Written by hand because the order in which QDataStream itself walks a QMap
// is not the file's order.
void PositionFile::write(QIODevice *device, const Map &positions)
{
    QDataStream out(device);
    out << qint32(positions.size());
    for (auto it = positions.constEnd(); it != positions.constBegin();) {
        --it;
        out << it.key() << qint32(it.value().x()) << qint32(it.value().y());
    }
}

// A count larger than the device can hold is caught before reading, so a
// damaged count costs neither memory nor time.
bool PositionFile::read(QIODevice *device, Map *positions)
{
    QDataStream in(device);
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok)
        return false;
    if (count > quint64(device->size() - 4) / EntrySize)
        return false;
    Map read;
    for (quint32 k = 0; k < count; ++k) {
        quint8 address = 0;
        qint32 x = 0;
        qint32 y = 0;
        in >> address >> x >> y;
        if (in.status() != QDataStream::Ok)
            return false;
        read.insert(address, QPoint(x, y));
    }
    *positions = read;
    return true;
}
