// Start-up's translation lookup: the base name cut from the executable's path,
// and catalogues found by the full locale, by language only, or not at all.
#include "app/translations.h"

#include <QtTest>

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void splitPath()
    {
        const auto split = [](const QString &path) {
            const Translations::ExecutablePath parts = Translations::splitExecutablePath(path);
            return parts.directory + '|' + parts.baseName;
        };
        QCOMPARE(split("/opt/kelvaro/bin/kelvaro-controller"), "/opt/kelvaro/bin|kelvaro-controller");
        QCOMPARE(split("C:/Programs/Kelvaro/kelvaro-controller.exe"), "C:/Programs/Kelvaro|kelvaro-controller");
        QCOMPARE(split("/x/my.app.bin"), "/x|my.app"); // only the last dot is cut
        QCOMPARE(split("/opt/v1.2/tool"), "/opt/v1.2|tool");
        QCOMPARE(split("/tool"), "|tool");
    }

    // Installed means applied: the window title comes out translated.
    void lookup()
    {
        QTemporaryDir dir;
        const QString built = qEnvironmentVariable("KC_BIN_DIR") + "/kelvaro-controller_de.qm";
        // Start-up would look for these names next to an executable called "myapp".
        QVERIFY2(QFile::copy(built, dir.filePath("myapp_de.qm")), qPrintable(built));
        QVERIFY(QFile::copy(built, dir.filePath("myapp_fr_CA.qm")));
        // A language-only file serves every country; a country's file only its own.
        for (const auto &[locale, installed] : {std::pair("de_AT", true), std::pair("fr_CA", true),
                                                std::pair("fr_FR", false), std::pair("ja_JP", false)}) {
            QTranslator translator;
            QCOMPARE(Translations::install(*QCoreApplication::instance(), translator, QStringLiteral("myapp_") + locale,
                                           dir.path()), installed);
            const QString title = QCoreApplication::translate("MainWindow", "Kelvaro Controller");
            QVERIFY2((title != QLatin1String("Kelvaro Controller")) == installed, locale);
            QCoreApplication::removeTranslator(&translator);
        }
    }

    // An installed tree keeps the catalogues in its data directory, not
    // beside the executable: start-up looks beside it first, then there.
    void installedTree()
    {
        QTemporaryDir tree;
        QVERIFY(QDir(tree.path()).mkpath("bin") && QDir(tree.path()).mkpath("share/kc/translations"));
        const QString built = qEnvironmentVariable("KC_BIN_DIR") + "/kelvaro-controller_de.qm";
        QVERIFY(QFile::copy(built, tree.filePath("share/kc/translations/myapp_de.qm")));
        const QStringList directories = Translations::directories(tree.filePath("bin"), "../share/kc/translations");
        QCOMPARE(directories, QStringList({tree.filePath("bin"), tree.filePath("bin") + "/../share/kc/translations"}));
        QTranslator translator;
        QVERIFY(!Translations::install(*QCoreApplication::instance(), translator, "myapp_de", directories.at(0)));
        QVERIFY(Translations::install(*QCoreApplication::instance(), translator, "myapp_de", directories.at(1)));
        QVERIFY(QCoreApplication::translate("MainWindow", "Kelvaro Controller") != QLatin1String("Kelvaro Controller"));
        QCoreApplication::removeTranslator(&translator);
        // Beside the executable wins: the build tree.
        QVERIFY(QFile::copy(built, tree.filePath("bin/myapp_de.qm")));
        QTranslator first;
        QVERIFY(Translations::install(*QCoreApplication::instance(), first, "myapp_de", directories.at(0)));
        QCoreApplication::removeTranslator(&first);
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
