#include "tests/support/mainwindowfixture.h"

#include "monitor/cmonitor.h"

#include <QTest>

MainWindowFixture::MainWindowFixture()
{
    QString error;
    if (!bus.start(&error))
        qFatal("simulated bus: %s", qPrintable(error));
}

void MainWindowFixture::writeSettings(const QString &extra, int timeoutMs)
{
    // Top-level keys must come before the first group.
    if (!dir.writeIni(QStringLiteral("%3\n[serial]\nport=%1\ntotaltimeout=%2\n")
                          .arg(portPath.isEmpty() ? bus.devicePath() : portPath,
                               QString::number(timeoutMs), extra)
                          .toUtf8()))
        qFatal("cannot write mc422.ini");
}

MainWindow &MainWindowFixture::open()
{
    window = std::make_unique<MainWindow>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("main window not exposed");
    return *window;
}

bool MainWindowFixture::startWith(const QList<quint8> &addresses, const QString &extra, int timeoutMs)
{
    for (quint8 address : addresses) {
        if (!bus.monitor(address) && !bus.addMonitor(address))
            return false;
    }
    writeSettings(extra, timeoutMs);
    open();
    return search(addresses);
}

bool MainWindowFixture::search(const QList<quint8> &addresses)
{
    // Searches through the controller and cancels past the last address.
    MController *c = controller();
    const int lastAddress = addresses.last();
    bool ended = false;
    const QMetaObject::Connection watch = QObject::connect(c, &MController::addressChanged, c, [&](int addr) {
        if (addr == lastAddress + 1)
            c->stopSearch();
        ended = addr > lastAddress;
    });
    const bool ok = c->startSearch() && QTest::qWaitFor([&] {
        for (int i = 0; ended && i < c->monitorCount(); ++i) {
            const CMonitor *m = c->monitorAt(i);
            if ((m->state & CMonitor::StatePower) && (m->pendingQueries || m->serialNumber.isEmpty()))
                return false;
        }
        return ended;
    }, 20000);
    QObject::disconnect(watch);
    return ok;
}
