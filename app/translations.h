#ifndef TRANSLATIONS_H
#define TRANSLATIONS_H

#include <QString>

class QCoreApplication;
class QTranslator;

// Translation files sit next to the executable and are named after it:
// "<base name>_<locale>.qm" for our texts, "qt_<locale>.qm" for Qt's own.
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

} // namespace Translations

#endif // TRANSLATIONS_H
