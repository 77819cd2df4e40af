#include "remote/positioncache.h"

#include "iconview/positionfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString PositionCache::fileName()
{
    return QDir::currentPath() + QStringLiteral("/poslist.pon");
}

bool PositionCache::refresh()
{
    const QFileInfo info(fileName());
    const bool exists = info.exists();
    if (exists == present && (!exists || (info.lastModified() == modified && info.size() == size)))
        return false;
    present = exists;
    modified = exists ? info.lastModified() : QDateTime();
    size = exists ? info.size() : -1;
    QMap<quint8, QPoint> read;
    QFile file(info.filePath());
    // A file that cannot be read, or a short one, shows no positions.
    if (exists && file.open(QIODevice::ReadOnly) && !PositionFile::read(&file, &read))
        read.clear();
    if (read == map)
        return false;
    map = read;
    return true;
}
