#ifndef MONITORFLAPPER_H
#define MONITORFLAPPER_H

#include "monitor/cmonitor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTimer>

class MController;
class SimBus;

// Flaps the alarms, inputs and power of the monitors on a simulated bus at
// random, one change at a time per monitor, and follows what the supervisor
// reports back. From each reported change it derives the line the supervisor
// must have logged for it, in the order it was logged, so that the log files
// can be checked line for line afterwards.
class MonitorFlapper : public QObject
{
    Q_OBJECT

public:
    // A line the log must hold; a prefix where the rest is not known here.
    struct Line {
        QString text;
        bool prefix = false;
    };
    struct Counts {
        qint64 alarms = 0;    // alarm byte changes
        qint64 timeCodes = 0; // time codes fetched after an IRE or RGB alarm
        qint64 powerOff = 0;
        qint64 powerOn = 0;
        qint64 inputs = 0;
        qint64 zombies = 0; // not caused here: a monitor that stopped answering
    };

    // The expected lines go to expectedFile as they arise, one a line, "=" or
    // "^" (a prefix) first, rather than piling up in this process's memory.
    MonitorFlapper(SimBus &bus, MController &controller, quint32 seed, const QString &expectedFile,
                   QObject *parent = nullptr);

    // Adds a line expected at this point of the log, for lines that no
    // monitor change explains (the search's).
    void expect(const QString &text, bool prefix = false);
    // Takes the monitors listed now as the known state and starts changing
    // them, changesPerSecond in all.
    void start(int changesPerSecond);
    // No new changes; those under way are still followed.
    void stop();
    int pending() const { return pendingCount; }
    // Fails every change the supervisor has not reported within timeoutMs.
    void expireOverdue(int timeoutMs);

    qint64 expectedLines() const { return lineCount; }
    // Puts what is still buffered into the file; false if any write failed.
    bool flushExpected();
    static QList<Line> readExpected(const QString &expectedFile);
    const Counts &made() const { return changesMade; }
    const Counts &reported() const { return changesReported; }
    // Changes not reported in time and reports of changes nobody made.
    // Only the first few are kept, all are counted.
    const QStringList &faults() const { return faultList; }
    int faultCount() const { return faultsSeen; }

private:
    enum Kind { Idle, Alarm, PowerOff, PowerOn, Input };
    struct Target {
        Kind kind = Idle;
        qint64 sinceMs = 0;
        quint8 alarm = 0;
        bool timeCodeDue = false; // decided when the alarm change is reported
        QString timeCode;
        quint8 input = 0;
        quint8 mode = 0;
    };
    struct Sim { // what this side set on the simulated monitor
        bool power = true;
        quint8 alarm = 0;
        quint8 input = 0;
        quint8 mode = 0;
    };

    void step();
    void onMonitorChanged(const CMonitor &m);
    void settle(Target &target);
    QString nextTimeCode();

    SimBus &bus;
    MController &controller;
    QRandomGenerator random;
    QTimer timer;
    QElapsedTimer clock;
    QHash<quint8, CMonitor> last; // the supervisor's last report per monitor
    QHash<quint8, Target> targets;
    QHash<quint8, Sim> sims;
    QList<quint8> addresses;
    void addLine(const QString &text, bool prefix = false);
    void addFault(const QString &text);

    QFile expectedOut;
    bool expectedOk = false;
    qint64 lineCount = 0;
    int faultsSeen = 0;
    Counts changesMade;
    Counts changesReported;
    QStringList faultList;
    int pendingCount = 0;
    quint32 timeCodeCounter = 0;
};

#endif // MONITORFLAPPER_H
