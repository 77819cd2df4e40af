#ifndef SIMCOMMANDEXECUTOR_H
#define SIMCOMMANDEXECUTOR_H

#include "tools/sim/simmonitorstate.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <mutex>

class SimCommand;
class SimDevice;
class SimLine;
class SimMonitor;
class SimMonitorRegistry;

// Carries out parsed command lines on the parts of the bus, and writes the
// status lines. A line for monitors has every address it names checked
// before any monitor changes, all under the bus mutex, so a bad line
// changes nothing and the bus thread never answers from half of a line.
class SimCommandExecutor
{
public:
    using Clock = std::chrono::steady_clock;
    using Output = std::function<void(const QStringList &lines)>;

    // Help and status go to output.
    SimCommandExecutor(std::mutex &busMutex, SimMonitorRegistry &monitors, SimLine &line, SimDevice &device,
                       Output output);
    SimCommandExecutor(const SimCommandExecutor &) = delete;
    SimCommandExecutor &operator=(const SimCommandExecutor &) = delete;

    // False, saying why in *error, when the bus refuses the line.
    bool execute(const SimCommand &cmd, QString *error);
    // Called by "quit"; without one, "quit" stops the device.
    void setQuitHandler(std::function<void()> handler);

    // The bus line, then one line per monitor of list that exists.
    QString statusText(const QList<quint8> &list) const;

private:
    void quit();
    bool printStatus(const SimCommand &cmd, QString *error);
    bool changeMonitors(const SimCommand &cmd, QString *error); // the bus mutex held
    static SimMonitorState addedState(const SimCommand &cmd, quint8 address);
    static void change(SimMonitor &monitor, const SimCommand &cmd, Clock::time_point now);
    static QString statusLine(const SimMonitorState &state);

    std::mutex &m_mutex; // the quit handler
    SimMonitorRegistry &m_monitors;
    SimLine &m_line;
    SimDevice &m_device;
    const Output m_output;
    std::function<void()> m_quitHandler;
};

#endif // SIMCOMMANDEXECUTOR_H
