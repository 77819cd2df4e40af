#include "iniworkdir.h"

#include "settingsfile.h"

#include <QDir>
#include <QFile>

IniWorkDir::IniWorkDir()
    : previous(QDir::currentPath())
{
    entered = dir.isValid() && QDir::setCurrent(dir.path());
}

IniWorkDir::~IniWorkDir()
{
    QDir::setCurrent(previous);
}

QString IniWorkDir::iniPath() const
{
    return dir.filePath(QLatin1String(SettingsFileName));
}

bool IniWorkDir::writeIni(const QByteArray &text) const
{
    QFile file(iniPath());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

QByteArray IniWorkDir::readIni() const
{
    QFile file(iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool IniWorkDir::iniExists() const
{
    return QFile::exists(iniPath());
}
