#ifndef MAINWINDOWFIXTURE_H
#define MAINWINDOWFIXTURE_H

#include "mainwindow/mainwindow.h"
#include "tests/support/workdir.h"
#include "tools/sim/simbus.h"

#include <QMessageBox>
#include <QStringList>

#include <functional>
#include <memory>

class MController;
class MIconView;
class MWindow;
class QAction;
class QLabel;
class QTableView;

// A main window in a temporary working directory whose mc422.ini points at a
// simulated bus. The window's parts are reached by their object names.
class MainWindowFixture
{
public:
    MainWindowFixture();
    ~MainWindowFixture();

    // Writes mc422.ini: extra lines first (top-level keys, or groups such
    // as "[alarm]"), then the simulator's device and a short time-out.
    void writeSettings(const QString &extra = QString(), int timeoutMs = 10);
    QByteArray settingsBytes() const;
    // From now on the settings name a symbolic link that follows the bus's
    // device across vanish and reappear; returns it.
    QString linkBus();
    MainWindow &open();   // creates and shows the window
    void destroyWindow(); // as a killed process would: no close event

    MController *controller() const;
    QTableView *tableView() const;
    MIconView *iconView() const;
    MWindow *dock() const;
    QLabel *label(const char *name) const;
    QAction *action(const char *name) const;

    // Searches through the controller and cancels after lastAddress, then
    // waits until every listed monitor has been read out.
    bool searchUpTo(int lastAddress);

    // Answers the next message box with the given button and returns its
    // title and text ("title|text") through *seen.
    static void answerMessageBox(QMessageBox::StandardButton button, QString *seen = nullptr);

    SimBus bus;
    WorkDir dir;
    std::unique_ptr<MainWindow> window;

private:
    QString portPath; // empty: the device itself
};

#endif // MAINWINDOWFIXTURE_H
