#ifndef STOPSIGNALS_H
#define STOPSIGNALS_H

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGINT as a Qt signal. The handler only writes the signal's
// number into one end of a socket pair; the other end is read on the event
// loop, where anything may be done. One instance per process: a second
// refuses to install and isInstalled() says so.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    // Restores the default handling of both signals.
    ~StopSignals() override;

    bool isInstalled() const { return notifier != nullptr; }

signals:
    // On the event loop, once per signal received: SIGTERM or SIGINT.
    void stopRequested(int signalNumber);

private slots:
    void readSignal();

private:
    QSocketNotifier *notifier = nullptr;
};

#endif // STOPSIGNALS_H
