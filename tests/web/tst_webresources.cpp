// The page as the application embeds it: every file it names is there under
// ":/web/", nothing is fetched from elsewhere, and each alarm kind the
// controller reports has its image.
#include "monitor/alarmkinds.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString resourceText(const QString &name)
{
    QFile file(QStringLiteral(":/web/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A reference the page makes, as the browser resolves it against "/".
bool isLocalFile(const QString &reference, QString *why)
{
    if (reference.contains(QLatin1String("//")) || reference.contains(QLatin1Char(':'))
        || reference.startsWith(QLatin1Char('/'))) {
        *why = reference + QStringLiteral(" is not relative to the page");
        return false;
    }
    if (!QFileInfo::exists(QStringLiteral(":/web/") + reference)) {
        *why = reference + QStringLiteral(" is not in :/web/");
        return false;
    }
    return true;
}

} // namespace

class TestWebResources : public QObject
{
    Q_OBJECT

private slots:
    void filesAreEmbedded_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"index.html", "app.js", "style.css", "icons/logo.svg"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void filesAreEmbedded()
    {
        QFETCH(QString, name);
        QVERIFY2(resourceText(name).size() > 100, qPrintable(name));
    }

    // Each src and href of the page, each url() of the style sheet and each
    // image the script names is one of the embedded files.
    void everyReferenceIsLocal()
    {
        QStringList references;
        const QString html = resourceText(QStringLiteral("index.html"));
        for (const auto &m : QRegularExpression(QStringLiteral("\\b(?:src|href)=\"([^\"]*)\"")).globalMatch(html))
            references << m.captured(1);
        QVERIFY(references.contains(QStringLiteral("app.js")) && references.contains(QStringLiteral("style.css")));
        const QString css = resourceText(QStringLiteral("style.css"));
        for (const auto &m : QRegularExpression(QStringLiteral("url\\(\\s*['\"]?([^'\")]*)")).globalMatch(css))
            references << m.captured(1);
        QVERIFY(!css.contains(QLatin1String("@import")));
        const QString js = resourceText(QStringLiteral("app.js"));
        for (const auto &m : QRegularExpression(QStringLiteral("'(\\w+_alarm)'")).globalMatch(js))
            references << QStringLiteral("icons/%1.svg").arg(m.captured(1));
        for (const QString &reference : references) {
            QString why;
            QVERIFY2(isLocalFile(reference, &why), qPrintable(why));
        }
        // Requests go to the controller that served the page, nowhere else.
        QVERIFY(!QRegularExpression(QStringLiteral("['\"`][a-z]+://")).match(js).hasMatch());
        QVERIFY(!QRegularExpression(QStringLiteral("(?:fetch|WebSocket)\\(\\s*['\"`]")).match(js).hasMatch());
    }

    // The page shows each alarm with the image the application's own views
    // use for it, by the name the API reports ("AUDIO MUTE").
    void everyAlarmKindHasItsImage()
    {
        const QString js = resourceText(QStringLiteral("app.js"));
        for (const AlarmKinds::AlarmKind &kind : AlarmKinds::kinds) {
            const QString name = QString::fromLatin1(kind.tag).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
            const QString image = QFileInfo(QString::fromLatin1(kind.icon)).completeBaseName();
            const QString entry = QStringLiteral("'%1': '%2'").arg(name, image);
            QVERIFY2(js.contains(entry), qPrintable(entry));
            QVERIFY2(QFileInfo::exists(QStringLiteral(":/web/icons/%1.svg").arg(image)), qPrintable(image));
        }
    }
};

QTEST_GUILESS_MAIN(TestWebResources)
#include "tst_webresources.moc"
