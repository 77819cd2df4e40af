#ifndef INIWORKDIR_H
#define INIWORKDIR_H

#include "monitor/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A fresh temporary directory made the working directory while the object
// lives, so that the code under test finds its mc422.ini there.
class IniWorkDir
{
public:
    IniWorkDir() : previous(QDir::currentPath()) { entered = dir.isValid() && QDir::setCurrent(dir.path()); }
    ~IniWorkDir() { QDir::setCurrent(previous); }
    Q_DISABLE_COPY(IniWorkDir)

    // False when the directory could not be made or entered.
    bool isValid() const { return entered; }
    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }
    QString iniPath() const { return filePath(QLatin1String(SettingsFileName)); }
    bool iniExists() const { return QFile::exists(iniPath()); }

    // Writes the settings file byte for byte.
    bool writeIni(const QByteArray &text) const
    {
        QFile file(iniPath());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
    }
    // The settings file's bytes; empty when there is none.
    QByteArray readIni() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir dir;
    QString previous;
    bool entered = false;
};

#endif // INIWORKDIR_H
