#include "tests/support/workdir.h"

#include "monitor/settingsfile.h"

#include <QDir>
#include <QFile>

WorkDir::WorkDir() : previous(QDir::currentPath())
{
    entered = dir.isValid() && QDir::setCurrent(dir.path());
}

WorkDir::~WorkDir()
{
    QDir::setCurrent(previous);
}

QString WorkDir::iniPath() const
{
    return filePath(QLatin1String(SettingsFileName));
}

bool WorkDir::iniExists() const
{
    return QFile::exists(iniPath());
}

bool WorkDir::writeIni(const QByteArray &text) const
{
    QFile file(iniPath());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

QByteArray WorkDir::readIni() const
{
    QFile file(iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
