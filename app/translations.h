#ifndef TRANSLATIONS_H
#define TRANSLATIONS_H

#include <QString>
#include <QStringList>

class QCoreApplication;
class QTranslator;

// Translation files are named after the executable: "<base name>_<locale>.qm"
// for our texts, "qt_<locale>.qm" for Qt's own. They sit next to it in the
// build tree, and in the data directory of an installed tree.
namespace Translations {

struct ExecutablePath {
    QString directory; // everything before the last "/"
    QString baseName;  // the file name, cut at its last "." if it has one
};

ExecutablePath splitExecutablePath(const QString &path);

// Loads fileName from directory with QTranslator's usual fallbacks (the name
// cut back at "_" or "." until a file matches) and installs the translator
// only when that succeeds.
bool install(QCoreApplication &app, QTranslator &translator, const QString &fileName,
             const QString &directory);

// Where start-up looks, first match wins: the executable's directory, then
// "<executable's directory>/<installedRelative>" (the installed tree's
// translations directory, given relative to its bin directory).
QStringList directories(const QString &executableDirectory, const QString &installedRelative);

} // namespace Translations

#endif // TRANSLATIONS_H
