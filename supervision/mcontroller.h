#ifndef MCONTROLLER_H
#define MCONTROLLER_H

#include "monitor/cmonitor.h"
#include "supervision/alarmacknowledgement.h"
#include "supervision/eventlog.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class MonitorModelNotifier;
class RSCmd;
class RSThread;
class QTimer;

// The bus supervisor: runs searches, analyses every finished exchange on the
// main thread, queues the follow-up queries the monitors ask for, keeps the
// table model in step with the monitor list and writes the event log.
class MController : public QObject
{
    Q_OBJECT

public:
    // The serial link as the operator sees it. PortLost: the device failed
    // and is being reopened. BusSilent: the port works, but every listed
    // monitor failed its last poll.
    enum LinkState { LinkOk, PortLost, BusSilent };
    Q_ENUM(LinkState)

    explicit MController(QObject *parent = nullptr);
    ~MController() override;

    // The table model to notify of every list change (not owned).
    void setModel(MonitorModelNotifier *model);

    bool startSearch();
    void stopSearch();

    int monitorCount() const;
    CMonitor *monitorAt(int index) const;
    int alarmCount() const;

    LinkState linkState() const { return link; }
    // When the fault in force began (invalid while the link is OK).
    QDateTime linkFaultSince() const { return faultSince; }
    QString linkPortName() const;

    bool removeMonitor(CMonitor *monitor);
    void sendControl(quint8 keyCode, quint8 address);
    void sendUmd(const QByteArray &text, quint8 tally, quint8 address);

    // Acknowledging alarms: the tone stays silent for the alarms present
    // now, for as long as the "ackminutes" option said at that moment, or
    // until each alarm clears. Another monitor's alarm or a new kind on an
    // acknowledged monitor is new and sounds again. The link alarm, while it
    // sounds, is acknowledged along with them until the link state changes.
    // Logs each monitor acknowledged, and the link; returns how many
    // monitors were.
    int acknowledgeAlarms();
    // Monitors in alarm whose every alarm is acknowledged (alarmCount()
    // counts them too).
    int acknowledgedAlarmCount() const;
    bool isAcknowledged(quint8 address) const;
    AlarmAcknowledgement::Kinds acknowledgedKinds(quint8 address) const { return acks.acknowledgedKinds(address); }
    bool isLinkAcknowledged() const { return acks.linkAcknowledged(); }

    RSThread *transactionThread() const { return thread; }
    QString logFileName() const { return log.fileName(); }

signals:
    void addressChanged(int addr);
    void msgChanged(const QString &message);
    void monitorChanged(const CMonitor &monitor);
    void monitorAdded(const CMonitor &monitor);
    void monitorRemoved(const CMonitor &monitor);
    void linkStateChanged(MController::LinkState state);
    // The port of startSearch cannot be opened; emitted before startSearch
    // returns. Without a receiver the failure is logged instead.
    void openFailed(const QString &portName);
    // A UMD frame was queued, by whoever asked (the detail window, a tally
    // source): what the monitor at this address will show next.
    void umdQueued(quint8 address, const QByteArray &text, quint8 tally);
    // Every finished exchange, after its analysis: its command code, address
    // and whether it succeeded. For those who pace their own traffic by the
    // bus's.
    void exchangeFinished(quint8 code, quint8 address, bool ok);
    // The same exchange with its time on the bus in microseconds (-1 when
    // it never reached the wire or waits for no reply), just before
    // exchangeFinished: for those who count and time the traffic.
    void exchangeTimed(quint8 code, quint8 address, bool ok, qint64 busTimeUs);
    // Every line of the event log as written to the file (time stamp
    // included, line end not), the rotation's closing and opening lines too.
    void eventLogged(const QString &line);
    // What is acknowledged changed: by acknowledgeAlarms(), an alarm that
    // cleared, an acknowledgement that ran out, a removal, a search, the link.
    void acknowledgementChanged();

public slots:
    void cmdAnalyzer(RSCmd *cmd);
    void doAddressChanged(quint8 addr);
    void logSearchResult();
    void logMsg(const QString &text);

private slots:
    void portLost(const QString &portName);
    void portRestored(const QString &portName);
    void forwardOpenFailure(const QString &portName);
    void expireAcknowledgements();

private:
    // Each poll or reply that asks for a follow-up queues one, also while an
    // earlier one for the same question is still queued.
    void queueAlarmCmd(quint8 address);
    void queueUpdateCmd(quint8 address);
    void queueQueryCmd(quint8 item, int dataLength, quint8 address);
    bool registerMonitor(CMonitor *monitor);
    // Notes a poll's outcome for the silent-bus test, which then runs.
    void notePoll(quint8 address, bool answered);
    void updateBusSilence();
    void setLink(LinkState state);
    void logRestored();
    bool commitChange(CMonitor *monitor);
    // Refreshes the rows of these addresses, re-times the expiry, announces.
    void acknowledgementsChanged(const QList<quint8> &addresses);
    void scheduleExpiry();

    void analyzeEcho(RSCmd *cmd, CMonitor *m);
    void analyzeAlarm(RSCmd *cmd, CMonitor *m);
    void analyzeUpdate(RSCmd *cmd, CMonitor *m);
    void analyzeQuery(RSCmd *cmd, CMonitor *m);
    void analyzeFailure(RSCmd *cmd, CMonitor *m);

    RSThread *thread;
    EventLog log;
    MonitorModelNotifier *model = nullptr;
    LinkState link = LinkOk;
    QDateTime faultSince;
    // Listed monitors whose last poll failed; all of them: a silent bus.
    QSet<quint8> failedLastPoll;
    bool searchWhenRestored = false;
    AlarmAcknowledgement acks;
    QElapsedTimer ackClock; // the acknowledgements' time base
    QTimer *ackExpiry;      // fires when the next acknowledgement runs out
    // By address, while a search runs: the figures of the monitors it
    // replaces.
    QHash<quint8, BusHealth> healthBeforeSearch;
};

#endif // MCONTROLLER_H
