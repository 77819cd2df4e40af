// Start-up's translation lookup: the base name cut from the executable's path,
// and catalogues found by the full locale, by language only, or not at all.
#include "app/translations.h"

#include <QtTest>

class TestTranslations : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        const QString built = qEnvironmentVariable("KC_BIN_DIR") + "/kelvaro-controller_de.qm";
        // Start-up would look for these names next to an executable called "myapp".
        QVERIFY2(QFile::copy(built, dir.filePath("myapp_de.qm")), qPrintable(built));
        QVERIFY(QFile::copy(built, dir.filePath("myapp_fr_CA.qm")));
    }

    void splitPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("baseName");
        QTest::newRow("linux executable") << "/opt/kelvaro/bin/kelvaro-controller" << "/opt/kelvaro/bin"
                                          << "kelvaro-controller";
        QTest::newRow("windows style") << "C:/Program Files/Kelvaro/kelvaro-controller.exe"
                                       << "C:/Program Files/Kelvaro" << "kelvaro-controller";
        QTest::newRow("only the last dot is cut") << "/x/my.app.bin" << "/x" << "my.app";
        QTest::newRow("dot in the directory only") << "/opt/v1.2/tool" << "/opt/v1.2" << "tool";
        QTest::newRow("root") << "/tool" << "" << "tool";
    }
    void splitPath()
    {
        QFETCH(QString, path);
        const Translations::ExecutablePath split = Translations::splitExecutablePath(path);
        QTEST(split.directory, "directory");
        QTEST(split.baseName, "baseName");
    }

    void lookup_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("installed");
        QTest::newRow("language only file for de_AT") << "de_AT" << true;
        QTest::newRow("exact file") << "fr_CA" << true;
        QTest::newRow("country file does not serve the language") << "fr_FR" << false;
        QTest::newRow("nothing for Japanese") << "ja_JP" << false;
    }
    // Installed means applied: the window title comes out translated.
    void lookup()
    {
        QFETCH(QString, locale);
        QFETCH(bool, installed);
        QTranslator translator;
        QCOMPARE(Translations::install(*QCoreApplication::instance(), translator, "myapp_" + locale, dir.path()),
                 installed);
        const QString title = QCoreApplication::translate("MainWindow", "Kelvaro Controller");
        QVERIFY2((title != QLatin1String("Kelvaro Controller")) == installed, qPrintable(title));
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
