#ifndef WORKDIR_H
#define WORKDIR_H

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh temporary directory made the working directory while the object
// lives, so that the code under test finds its mc422.ini and writes its logs
// there, and nothing leaks from one test into the next.
class WorkDir
{
public:
    WorkDir();
    ~WorkDir();
    Q_DISABLE_COPY(WorkDir)

    // False when the directory could not be made or entered.
    bool isValid() const { return entered; }
    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }
    QString iniPath() const;
    bool iniExists() const;

    // Writes the settings file byte for byte.
    bool writeIni(const QByteArray &text) const;
    // The settings file's bytes; empty when there is none.
    QByteArray readIni() const;

private:
    QTemporaryDir dir;
    QString previous;
    bool entered = false;
};

#endif // WORKDIR_H
