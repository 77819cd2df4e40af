#include "app/translations.h"

#include <QCoreApplication>
#include <QTranslator>

namespace Translations {

ExecutablePath splitExecutablePath(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    ExecutablePath result;
    result.directory = path.left(qMax(slash, 0));
    result.baseName = path.mid(slash + 1);
    const int dot = result.baseName.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        result.baseName.truncate(dot);
    return result;
}

bool install(QCoreApplication &app, QTranslator &translator, const QString &fileName,
             const QString &directory)
{
    if (!translator.load(fileName, directory))
        return false;
    app.installTranslator(&translator);
    return true;
}

QStringList directories(const QString &executableDirectory, const QString &installedRelative)
{
    return {executableDirectory, executableDirectory + QLatin1Char('/') + installedRelative};
}

} // namespace Translations
