#include "tests/support/mainwindowfixture.h"

#include "detail/mwindow.h"
#include "iconview/miconview.h"
#include "monitor/cmonitor.h"
#include "supervision/mcontroller.h"
#include "tests/support/buslink.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <QTimer>

MainWindowFixture::MainWindowFixture()
{
    QString error;
    if (!bus.start(&error))
        qFatal("simulated bus: %s", qPrintable(error));
}

MainWindowFixture::~MainWindowFixture()
{
    destroyWindow();
    bus.stop();
}

void MainWindowFixture::writeSettings(const QString &extra, int timeoutMs)
{
    QFile ini(dir.iniPath());
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write mc422.ini");
    // Top-level keys must come before the first group.
    ini.write(QStringLiteral("%3\n[serial]\nport=%1\ntotaltimeout=%2\n")
                  .arg(portPath.isEmpty() ? bus.devicePath() : portPath, QString::number(timeoutMs), extra)
                  .toUtf8());
}

QString MainWindowFixture::linkBus()
{
    portPath = ::linkBus(bus, dir.path());
    return portPath;
}

QByteArray MainWindowFixture::settingsBytes() const
{
    return dir.readIni();
}

MainWindow &MainWindowFixture::open()
{
    window = std::make_unique<MainWindow>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("main window not exposed");
    return *window;
}

void MainWindowFixture::destroyWindow()
{
    window.reset();
}

MController *MainWindowFixture::controller() const
{
    return window->findChild<MController *>(QStringLiteral("controller"));
}

QTableView *MainWindowFixture::tableView() const
{
    return window->findChild<QTableView *>(QStringLiteral("tableView"));
}

MIconView *MainWindowFixture::iconView() const
{
    return window->findChild<MIconView *>(QStringLiteral("iconView"));
}

MWindow *MainWindowFixture::dock() const
{
    return window->findChild<MWindow *>(QStringLiteral("monitorWindow"));
}

QLabel *MainWindowFixture::label(const char *name) const
{
    return window->findChild<QLabel *>(QLatin1String(name));
}

QAction *MainWindowFixture::action(const char *name) const
{
    return window->findChild<QAction *>(QLatin1String(name));
}

bool MainWindowFixture::searchUpTo(int lastAddress)
{
    MController *c = controller();
    bool ended = false;
    QMetaObject::Connection cancel = QObject::connect(c, &MController::addressChanged, c,
                                                      [c, lastAddress](int addr) {
                                                          if (addr == lastAddress + 1)
                                                              c->stopSearch();
                                                      });
    QMetaObject::Connection end = QObject::connect(c, &MController::addressChanged, c, [&](int addr) {
        ended = addr > lastAddress;
    });
    if (!c->startSearch())
        return false;
    const bool ok = QTest::qWaitFor([&] {
        if (!ended)
            return false;
        for (int i = 0; i < c->monitorCount(); ++i) {
            const CMonitor *m = c->monitorAt(i);
            if ((m->state & CMonitor::StatePower) && (m->pendingQueries || m->serialNumber.isEmpty()))
                return false;
        }
        return true;
    }, 20000);
    QObject::disconnect(cancel);
    QObject::disconnect(end);
    return ok;
}

void MainWindowFixture::answerMessageBox(QMessageBox::StandardButton button, QString *seen)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, button, seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (seen)
            *seen = box->windowTitle() + QLatin1Char('|') + box->text();
        box->button(button)->click();
        poll->deleteLater();
    });
    poll->start();
}
