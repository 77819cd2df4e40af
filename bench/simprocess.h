#ifndef SIMPROCESS_H
#define SIMPROCESS_H

#include <QProcess>
#include <QString>

// The simulated bus as a process of its own, driven through its standard
// input, so that its CPU time never counts as the controller's.
class SimProcess
{
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts an empty bus paced at `baud` (0: no pacing); false with a reason.
    bool start(const QString &program, int baud, QString *error);
    bool command(const QString &line);
    // Sends a line and returns the first line of output that starts with
    // `prefix`; empty when none came within a few seconds.
    QString query(const QString &line, const QString &prefix);
    void stop();
    QString devicePath() const { return m_device; }

private:
    QProcess m_process;
    QString m_device;
};

#endif // SIMPROCESS_H
