#ifndef MAINWINDOWFIXTURE_H
#define MAINWINDOWFIXTURE_H

#include "detail/mwindow.h"
#include "iconview/miconview.h"
#include "mainwindow/mainwindow.h"
#include "supervision/mcontroller.h"
#include "tests/support/buslink.h"
#include "tests/support/widgetlookup.h"
#include "tests/support/workdir.h"
#include "tools/sim/simbus.h"

#include <QAction>
#include <QLabel>
#include <QTableView>

#include <memory>

// A main window in a temporary working directory whose mc422.ini points at a
// simulated bus. The window's parts are reached by their object names.
class MainWindowFixture
{
public:
    MainWindowFixture();

    // Writes mc422.ini: extra lines first (top-level keys, or groups such
    // as "[alarm]"), then the simulator's device and a short time-out.
    void writeSettings(const QString &extra = QString(), int timeoutMs = 10);
    // From now on the settings name a symbolic link that follows the bus's
    // device across vanish and reappear; returns it.
    QString linkBus() { return portPath = ::linkBus(bus, dir.path()); }
    MainWindow &open(); // creates and shows the window
    // Monitors at these addresses (those not on the bus yet in the
    // simulator's default state), the settings, the window, and a search
    // that found them all and read them out.
    bool startWith(const QList<quint8> &addresses, const QString &extra = QString(), int timeoutMs = 10);
    // The search of startWith() alone, in the window that is open: these
    // monitors found and read out.
    bool search(const QList<quint8> &addresses);

    template<typename T = QLabel> T *w(const char *name) const { return child<T>(window.get(), name); }
    QAction *action(const char *name) const { return w<QAction>(name); }
    MController *controller() const { return w<MController>("controller"); }
    QTableView *table() const { return w<QTableView>("tableView"); }
    MIconView *icons() const { return w<MIconView>("iconView"); }
    MWindow *dock() const { return w<MWindow>("monitorWindow"); }

    // Declared so that the window goes first, then the directory, then the bus.
    SimBus bus;
    WorkDir dir;
    std::unique_ptr<MainWindow> window;

private:
    QString portPath; // empty: the device itself
};

#endif // MAINWINDOWFIXTURE_H
