#ifndef SUPERVISIONFIXTURE_H
#define SUPERVISIONFIXTURE_H

#include "monitor/cmonitor.h"
#include "monitor/model/monitormodel.h"
#include "supervision/mcontroller.h"
#include "tests/support/workdir.h"
#include "tools/sim/simbus.h"

#include <QDir>
#include <QSignalSpy>
#include <QStringList>

#include <memory>

// A supervisor with its table model, in a temporary working directory, on a
// simulated bus behind a real pseudo-terminal.
class SupervisionFixture
{
public:
    SupervisionFixture();
    ~SupervisionFixture();

    // Writes mc422.ini: the simulator's device, a short exchange time-out,
    // and extra lines (for example an "[alarm]" group).
    void writeSettings(const QString &extra = QString(), int timeoutMs = 40);
    // From now on the settings name a symbolic link that follows the bus's
    // device across vanish and reappear, as a by-id name does; returns it.
    QString linkBus();
    void createController();
    void destroyController();

    // Searches and cancels as soon as the probe passes lastAddress, so that
    // a test does not wait for 126 silent addresses. Returns when the end
    // record has been logged.
    bool searchUpTo(int lastAddress);

    // The common start: these monitors on the bus (powered, serial numbers
    // "KV0005" and so on), a supervisor found them all, and every powered one
    // has been read out; settings as writeSettings() with this time-out.
    bool startWith(const QList<quint8> &addresses, int timeoutMs = 40);
    static SimMonitorState monitorState(quint8 address, bool power = true);

    // The messages of every log file in creation order, time stamps checked
    // and stripped.
    QStringList logMessages() const;
    // Messages logged since the last mark().
    QStringList newMessages() const;
    void mark();
    bool waitForMessage(const QString &message, int timeoutMs = 5000) const;

    SimBus bus;
    WorkDir dir;
    std::unique_ptr<MController> controller;
    std::unique_ptr<MonitorModel> model;

private:
    QString portPath; // empty: the device itself
    int marked = 0;
};

// The event log's files in dir, oldest first.
QStringList logFilesIn(const QString &dir);
// One log file's messages: each line's time stamp and CR LF are checked and
// taken off; a line without them reads "MALFORMED: line", an unfinished last
// line "UNFINISHED: line".
QStringList logFileMessages(const QString &file);

#endif // SUPERVISIONFIXTURE_H
