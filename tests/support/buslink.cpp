#include "tests/support/buslink.h"

#include "tools/sim/simbus.h"

#include <QDir>

QString linkBus(SimBus &bus, const QString &dir)
{
    const QString link = QDir(dir).filePath(QStringLiteral("bus"));
    QString error;
    if (!bus.setLinkPath(link, &error))
        qFatal("link: %s", qPrintable(error));
    return link;
}
