// The remote wall and API as the application starts it: off by default,
// started from the settings once the window runs, failures reported in a
// warning, and the "Remote" group of the options dialog.
#include "remote/remoteserver.h"
#include "tests/remote/rawhttp.h"
#include "tests/remote/remoterig.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/modalwatcher.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QSpinBox>
#include <QtTest>

class TestRemoteWindow : public QObject
{
    Q_OBJECT

private slots:
    void offByDefault();
    void startsFromSettings();
    void refusalInWarning_data();
    void refusalInWarning();
    void optionsGroup();
};

void TestRemoteWindow::offByDefault()
{
    MainWindowFixture f;
    QVERIFY(f.startWith({5}));
    QTest::qWait(100);
    auto *server = f.window->findChild<RemoteServer *>();
    QVERIFY(server);
    QVERIFY(!server->isOn());
    // OK in the options dialog leaves a file without the group as it was.
    ModalWatcher ok([](QWidget *dialog) { return ModalWatcher::click(dialog, QStringLiteral("OK")); });
    f.action("optionAct")->trigger();
    QVERIFY(!f.dir.readIni().contains("[remote]"));
    QVERIFY(!server->isOn());
}

void TestRemoteWindow::startsFromSettings()
{
    MainWindowFixture f;
    const quint16 port = RemoteRig::freePort();
    QVERIFY(f.startWith({3, 5}, QStringLiteral("[remote]\nenabled=true\nport=%1\n").arg(port)));
    auto *server = f.window->findChild<RemoteServer *>();
    QTRY_VERIFY(server->isOn());
    std::optional<RawHttp::Response> r;
    RemoteRig::offThread([&] { r = RawHttp::exchange(port, RawHttp::request("GET", "/api/monitors")); });
    QVERIFY(r);
    QCOMPARE(r->status, 200);
    const QJsonArray monitors = QJsonDocument::fromJson(r->body).object().value("monitors").toArray();
    QCOMPARE(monitors.size(), f.table()->model()->rowCount());
    QCOMPARE(monitors.at(0).toObject().value("serial").toString(), QStringLiteral("KV0003"));
}

void TestRemoteWindow::refusalInWarning_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("problem");
    QTest::newRow("control without token") << QStringLiteral("enabled=true\ncontrol=true")
                                           << QStringLiteral("Control needs a token: set one or switch control off.");
    QTest::newRow("unreadable switch") << QStringLiteral("enabled=yes")
                                       << QStringLiteral("\"enabled\" must be true or false, not \"yes\".");
}

void TestRemoteWindow::refusalInWarning()
{
    QFETCH(QString, group);
    QFETCH(QString, problem);
    MainWindowFixture f;
    const quint16 port = RemoteRig::freePort();
    QString text;
    ModalWatcher watcher([&text](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (!box)
            return false;
        text = box->text();
        box->accept();
        return true;
    });
    QVERIFY(f.startWith({5}, QStringLiteral("[remote]\n%1\nport=%2\n").arg(group).arg(port)));
    QTRY_VERIFY(!text.isEmpty());
    QCOMPARE(text, QStringLiteral("The remote wall and API cannot start:\n%1\n"
                                  "Everything else goes on as before.").arg(problem));
    QVERIFY(!f.window->findChild<RemoteServer *>()->isOn());
    // Everything else goes on.
    QCOMPARE(f.table()->model()->rowCount(), 1);
}

void TestRemoteWindow::optionsGroup()
{
    MainWindowFixture f;
    QVERIFY(f.startWith({5}));
    auto *server = f.window->findChild<RemoteServer *>();
    const quint16 port = RemoteRig::freePort();
    bool refusedWithoutToken = false;
    int step = 0;
    QPointer<QWidget> options;
    ModalWatcher watcher([&](QWidget *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            refusedWithoutToken = box->text() == QStringLiteral("Control needs a token: set one or switch control off.");
            box->accept();
            // The options dialog is still open: a token, and OK again.
            QTimer::singleShot(0, options, [&] {
                options->findChild<QLineEdit *>(QStringLiteral("remoteTokenEdit"))->setText(QStringLiteral("opt-token"));
                ++step;
                ModalWatcher::click(options, QStringLiteral("OK"));
            });
            return true;
        }
        auto *enabled = dialog->findChild<QCheckBox *>(QStringLiteral("remoteEnabledBox"));
        if (!enabled)
            return false;
        options = dialog;
        enabled->setChecked(true);
        dialog->findChild<QSpinBox *>(QStringLiteral("remotePortSpin"))->setValue(port);
        dialog->findChild<QCheckBox *>(QStringLiteral("remoteControlBox"))->setChecked(true);
        ++step;
        // Refused, without a token. Clicked from the event loop, so that the
        // warning it opens is offered to this watcher too.
        QTimer::singleShot(0, dialog, [dialog] { ModalWatcher::click(dialog, QStringLiteral("OK")); });
        return true;
    });
    f.action("optionAct")->trigger();
    QCOMPARE(step, 2);
    QVERIFY(refusedWithoutToken);
    const QByteArray ini = f.dir.readIni();
    QVERIFY(ini.contains("[remote]"));
    QVERIFY(ini.contains("enabled=true"));
    QVERIFY(ini.contains("port=" + QByteArray::number(port)));
    QVERIFY(ini.contains("token=opt-token"));
    QVERIFY(ini.contains("control=true"));
    QTRY_VERIFY(server->isOn());
    QCOMPARE(server->port(), port);
    std::optional<RawHttp::Response> r;
    RemoteRig::offThread([&] {
        r = RawHttp::exchange(port, RawHttp::request("POST", "/api/acknowledge", QByteArray(),
                                                     "Authorization: Bearer opt-token\r\n"));
    });
    QVERIFY(r);
    QCOMPARE(r->status, 200);
}

QTEST_MAIN(TestRemoteWindow)
#include "tst_remotewindow.moc"
