#ifndef HEADLESSSERVICE_H
#define HEADLESSSERVICE_H

#include <QObject>

class MController;
class MetricsCollector;
class RemoteServer;
class QTimer;
class TallyInput;

// The controller as a service, without a window: the supervisor (with its
// event log and link watch), the tally input and the remote wall and API,
// all set up from the working directory's mc422.ini as the window sets them
// up. It searches the bus at start; a port that cannot be opened yet (an
// adapter that comes up after the computer, after a power cut) is tried
// again every RetrySeconds until the search can start.
class HeadlessService : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetrySeconds = 5;

    explicit HeadlessService(QObject *parent = nullptr);
    // Stops the bus and writes the log's closing line.
    ~HeadlessService() override;

    // Starts the tally input and the first search; returns at once. Every
    // failure is reported (stderr, the event log) and the service runs on.
    void start();

    MController *controller() const { return supervisor; }

private slots:
    void search();

private:
    MController *supervisor;
    TallyInput *tally;
    RemoteServer *remote;
    MetricsCollector *metrics;
    QTimer *retry;
    bool openFailureReported = false;
};

#endif // HEADLESSSERVICE_H
