// Start-up's translation lookup: the base name cut from the executable's path,
// and catalogues found by the full locale, by language only, or not at all.
#include "app/translations.h"

#include <QtTest>

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void splitPath_data();
    void splitPath();
    void lookup_data();
    void lookup();

private:
    QTemporaryDir dir;
};

void TestTranslations::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString built = qEnvironmentVariable("KC_BIN_DIR") + "/kelvaro-controller_de.qm";
    QVERIFY2(QFile::exists(built), qPrintable(built));
    // Start-up would look for these names next to an executable called "myapp".
    QVERIFY(QFile::copy(built, dir.filePath("myapp_de.qm")));
    QVERIFY(QFile::copy(built, dir.filePath("myapp_fr_CA.qm")));
}

void TestTranslations::splitPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("baseName");

    QTest::newRow("linux executable") << "/opt/kelvaro/bin/kelvaro-controller"
                                      << "/opt/kelvaro/bin" << "kelvaro-controller";
    QTest::newRow("windows style") << "C:/Program Files/Kelvaro/kelvaro-controller.exe"
                                   << "C:/Program Files/Kelvaro" << "kelvaro-controller";
    QTest::newRow("only the last dot is cut") << "/x/my.app.bin" << "/x" << "my.app";
    QTest::newRow("dot in the directory only") << "/opt/v1.2/tool" << "/opt/v1.2" << "tool";
    QTest::newRow("root") << "/tool" << "" << "tool";
}

void TestTranslations::splitPath()
{
    QFETCH(QString, path);
    QFETCH(QString, directory);
    QFETCH(QString, baseName);

    const Translations::ExecutablePath split = Translations::splitExecutablePath(path);
    QCOMPARE(split.directory, directory);
    QCOMPARE(split.baseName, baseName);
}

void TestTranslations::lookup_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("installed");

    QTest::newRow("language only file for de_DE") << "de_DE" << true;
    QTest::newRow("language only file for de_AT") << "de_AT" << true;
    QTest::newRow("exact file") << "fr_CA" << true;
    QTest::newRow("country file does not serve the language") << "fr_FR" << false;
    QTest::newRow("nothing for Japanese") << "ja_JP" << false;
}

void TestTranslations::lookup()
{
    QFETCH(QString, locale);
    QFETCH(bool, installed);

    const QString windowTitle = QStringLiteral("Kelvaro Controller");
    QTranslator translator;
    QCOMPARE(Translations::install(*QCoreApplication::instance(), translator,
                                   "myapp_" + locale, dir.path()),
             installed);
    const QString shown = QCoreApplication::translate("MainWindow", "Kelvaro Controller");
    if (installed)
        QVERIFY2(shown != windowTitle, qPrintable(shown));
    else
        QCOMPARE(shown, windowTitle);
    QCoreApplication::removeTranslator(&translator);
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
