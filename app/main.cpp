#include "app/commandline.h"
#include "app/translations.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Commands for scripts run without a display: before any QApplication.
    if (const std::optional<int> exitCode = CommandLine::run(argc, argv))
        return *exitCode;

    QApplication app(argc, argv);

    const Translations::ExecutablePath exe =
        Translations::splitExecutablePath(QCoreApplication::applicationFilePath());
    const QString locale = QLocale::system().name();

    const QStringList directories = Translations::directories(
        exe.directory, QStringLiteral(KC_DATA_RELDIR "/translations"));
    QTranslator appTranslator;
    for (const QString &directory : directories) {
        if (Translations::install(app, appTranslator, exe.baseName + QLatin1Char('_') + locale, directory))
            break;
    }
    QTranslator qtTranslator;
    for (const QString &directory : directories) {
        if (Translations::install(app, qtTranslator, QLatin1String("qt_") + locale, directory))
            break;
    }

    MainWindow window;
    window.show();
    return app.exec();
}
