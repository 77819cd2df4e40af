#ifndef INIWORKDIR_H
#define INIWORKDIR_H

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh temporary directory made the working directory while the object
// lives, so that the code under test finds its mc422.ini there.
class IniWorkDir
{
public:
    IniWorkDir();
    ~IniWorkDir();
    IniWorkDir(const IniWorkDir &) = delete;
    IniWorkDir &operator=(const IniWorkDir &) = delete;

    // False when the directory could not be made or entered.
    bool isValid() const { return entered; }
    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }
    QString iniPath() const;

    // Writes the settings file byte for byte.
    bool writeIni(const QByteArray &text) const;
    // The settings file's bytes; empty when there is none.
    QByteArray readIni() const;
    bool iniExists() const;

private:
    QTemporaryDir dir;
    QString previous;
    bool entered = false;
};

#endif // INIWORKDIR_H
