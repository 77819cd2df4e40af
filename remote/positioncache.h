#ifndef POSITIONCACHE_H
#define POSITIONCACHE_H

#include <QDateTime>
#include <QMap>
#include <QPoint>
#include <QString>

// The icon view's saved layout as last written, read again only when the
// file's time stamp or size changes.
class PositionCache
{
public:
    // The file in the working directory, as the icon view writes it.
    static QString fileName();

    // True when the positions differ from those of the last call.
    bool refresh();
    const QMap<quint8, QPoint> &positions() const { return map; }

private:
    QMap<quint8, QPoint> map;
    QDateTime modified;
    qint64 size = -1;
    bool present = false;
};

#endif // POSITIONCACHE_H
