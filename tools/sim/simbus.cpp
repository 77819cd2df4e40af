#include "tools/sim/simbus.h"

#include "tools/sim/simcommand.h"
#include "tools/sim/simmonitor.h"

SimBus::SimBus()
    : m_monitors(m_mutex),
      m_line(m_mutex, m_monitors, [this](const QStringList &lines) { emitMessages(lines); }),
      m_device(m_mutex, m_line, [this](const QStringList &lines) { emitMessages(lines); }),
      m_executor(m_mutex, m_monitors, m_line, m_device, [this](const QStringList &lines) { emitMessages(lines); })
{
}

SimBus::~SimBus() = default; // the device stops the line and removes the link

// ---- life cycle ----------------------------------------------------------

bool SimBus::start(QString *error)
{
    return m_device.start(error);
}

void SimBus::stop()
{
    m_device.stop();
}

bool SimBus::isRunning() const
{
    return m_device.isRunning();
}

bool SimBus::vanish()
{
    return m_device.vanish();
}

bool SimBus::reappear(QString *error, bool newNode)
{
    return m_device.reappear(error, newNode);
}

bool SimBus::isVanished() const
{
    return m_device.isVanished();
}

QString SimBus::devicePath() const
{
    return m_device.devicePath();
}

bool SimBus::setLinkPath(const QString &path, QString *error)
{
    return m_device.setLinkPath(path, error);
}

QString SimBus::linkPath() const
{
    return m_device.linkPath();
}

// ---- the line ------------------------------------------------------------

void SimBus::setBaud(int baud)
{
    m_line.setBaud(baud);
}

int SimBus::baud() const
{
    return m_line.baud();
}

void SimBus::setTurnaround(int ms)
{
    m_line.setTurnaround(ms);
}

int SimBus::turnaround() const
{
    return m_line.turnaround();
}

void SimBus::setLineSilent(bool silent)
{
    m_line.setLineSilent(silent);
}

bool SimBus::isLineSilent() const
{
    return m_line.isLineSilent();
}

QList<SimTraceEntry> SimBus::trace() const
{
    return m_line.trace();
}

void SimBus::clearTrace()
{
    m_line.clearTrace();
}

int SimBus::requestCount() const
{
    return m_line.requestCount();
}

int SimBus::replyCount() const
{
    return m_line.replyCount();
}

bool SimBus::waitForRequests(int count, int timeoutMs) const
{
    return m_line.waitForRequests(count, timeoutMs);
}

bool SimBus::waitForIdle(int timeoutMs) const
{
    return m_line.waitForIdle(timeoutMs);
}

void SimBus::setTraceOutput(bool on)
{
    m_line.setTraceOutput(on);
}

bool SimBus::traceOutput() const
{
    return m_line.traceOutput();
}

QString SimBus::formatTraceEntry(const SimTraceEntry &entry, Clock::time_point origin)
{
    return SimLine::formatTraceEntry(entry, origin);
}

SimBus::Clock::time_point SimBus::origin() const
{
    return m_line.origin();
}

// ---- output ----------------------------------------------------------------

void SimBus::setMessageHandler(std::function<void(const QString &)> handler)
{
    std::lock_guard<std::mutex> out(m_outputMutex);
    m_messageHandler = std::move(handler);
}

void SimBus::setQuitHandler(std::function<void()> handler)
{
    m_executor.setQuitHandler(std::move(handler));
}

void SimBus::emitMessages(const QStringList &lines) const
{
    std::lock_guard<std::mutex> out(m_outputMutex);
    if (!m_messageHandler)
        return;
    for (const QString &line : lines)
        m_messageHandler(line);
}

// ---- monitors --------------------------------------------------------------

bool SimBus::addMonitor(quint8 address, bool power)
{
    SimMonitorState state = SimMonitor::defaultState(address);
    state.power = power;
    return addMonitor(state);
}

bool SimBus::addMonitor(const SimMonitorState &state)
{
    return m_monitors.add(state);
}

bool SimBus::removeMonitor(quint8 address)
{
    return m_monitors.remove(address);
}

bool SimBus::setPower(quint8 address, bool on)
{
    return m_monitors.setPower(address, on);
}

bool SimBus::setAlarm(quint8 address, quint8 alarm)
{
    return m_monitors.setAlarm(address, alarm);
}

bool SimBus::setFault(quint8 address, const SimFault &fault)
{
    return m_monitors.setFault(address, fault);
}

bool SimBus::setSerialNumber(quint8 address, const QString &text)
{
    return m_monitors.setSerialNumber(address, text);
}

bool SimBus::setVersion(quint8 address, const QString &text)
{
    return m_monitors.setVersion(address, text);
}

bool SimBus::setInputMode(quint8 address, quint8 input, quint8 mode)
{
    return m_monitors.setInputMode(address, input, mode);
}

bool SimBus::setRotary(quint8 address, int index, qint8 level)
{
    return m_monitors.setRotary(address, index, level);
}

bool SimBus::setFunctions(quint8 address, quint32 functions)
{
    return m_monitors.setFunctions(address, functions);
}

bool SimBus::setBoardVersions(quint8 address, const QByteArray &bytes)
{
    return m_monitors.setBoardVersions(address, bytes);
}

bool SimBus::setTimeCode(quint8 address, const QString &text)
{
    return m_monitors.setTimeCode(address, text);
}

bool SimBus::pressKey(quint8 address, quint8 key)
{
    return m_monitors.pressKey(address, key);
}

std::optional<SimMonitorState> SimBus::monitor(quint8 address) const
{
    return m_monitors.monitor(address);
}

QList<quint8> SimBus::addresses() const
{
    return m_monitors.addresses();
}

// ---- command language --------------------------------------------------------

bool SimBus::command(const QString &line, QString *error)
{
    const std::optional<SimCommand> cmd = SimCommand::parse(line, error);
    return cmd && m_executor.execute(*cmd, error);
}

QString SimBus::statusText() const
{
    return m_executor.statusText(addresses());
}
