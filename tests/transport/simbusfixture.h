#ifndef SIMBUSFIXTURE_H
#define SIMBUSFIXTURE_H

#include "simbus.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <chrono>

// One test's world: a working directory of its own (where "mc422.ini" is
// written) and a simulated bus on a fresh pseudo-terminal.
class SimBusFixture
{
public:
    SimBusFixture();
    ~SimBusFixture(); // stops the bus and goes back to the previous directory
    SimBusFixture(const SimBusFixture &) = delete;
    SimBusFixture &operator=(const SimBusFixture &) = delete;

    bool isValid() const; // directory made and entered, bus running
    SimBus &bus() { return m_bus; }
    QString devicePath() const { return m_bus.devicePath(); }
    QString dirPath() const { return m_dir.path(); }

    // The group "serial" pointing at the simulator, every other key default.
    void writeSettings(int totalTimeoutMs) const;
    static void writeSetting(const char *key, const QVariant &value);

    // Request frames on the line (oldest first), optionally only since `from`.
    QList<SimTraceEntry> requests() const;
    QList<int> requestAddresses() const;

    // CPU time this process has used so far, user and system, in seconds.
    static double processCpuSeconds();
    static double msBetween(std::chrono::steady_clock::time_point a,
                            std::chrono::steady_clock::time_point b);

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    bool m_entered = false;
    SimBus m_bus;
    bool m_started = false;
};

#endif // SIMBUSFIXTURE_H
