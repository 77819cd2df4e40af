#include "tools/sim/simcommandexecutor.h"

#include "tools/sim/simcommand.h"
#include "tools/sim/simdevice.h"
#include "tools/sim/simline.h"
#include "tools/sim/simmonitor.h"
#include "tools/sim/simmonitorregistry.h"

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

QString tallyText(quint8 tally)
{
    if ((tally & 3) == 3)
        return QStringLiteral("red+green");
    if (tally & 1)
        return QStringLiteral("red");
    if (tally & 2)
        return QStringLiteral("green");
    return QStringLiteral("off");
}

} // namespace

SimCommandExecutor::SimCommandExecutor(std::mutex &busMutex, SimMonitorRegistry &monitors, SimLine &line,
                                       SimDevice &device, Output output)
    : m_mutex(busMutex), m_monitors(monitors), m_line(line), m_device(device), m_output(std::move(output))
{
}

void SimCommandExecutor::setQuitHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quitHandler = std::move(handler);
}

bool SimCommandExecutor::execute(const SimCommand &cmd, QString *error)
{
    switch (cmd.verb) {
    case SimCommand::Nothing:
        return true;
    case SimCommand::Wait:
        return fail(error, QStringLiteral("wait only works in scenario files"));
    case SimCommand::Help:
        m_output(SimCommand::helpText().split(QLatin1Char('\n')));
        return true;
    case SimCommand::Quit:
        quit();
        return true;
    case SimCommand::Vanish:
        return m_device.vanish() || fail(error, QStringLiteral("no device to vanish (already gone or stopped)"));
    case SimCommand::Reappear:
        return m_device.reappear(error, cmd.flag);
    case SimCommand::Silence:
        m_line.setLineSilent(cmd.flag);
        return true;
    case SimCommand::Trace:
        m_line.setTraceOutput(cmd.flag);
        return true;
    case SimCommand::Baud:
        m_line.setBaud(int(cmd.number));
        return true;
    case SimCommand::Turnaround:
        m_line.setTurnaround(int(cmd.number));
        return true;
    case SimCommand::Status:
        return printStatus(cmd, error);
    case SimCommand::Pacing:
        m_output({m_line.takePacingReport()});
        return true;
    default:
        break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return changeMonitors(cmd, error);
}

void SimCommandExecutor::quit()
{
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        handler = m_quitHandler;
    }
    if (handler)
        handler();
    else
        m_device.stop();
}

bool SimCommandExecutor::printStatus(const SimCommand &cmd, QString *error)
{
    QList<quint8> list = cmd.addresses;
    if (cmd.allAddresses)
        list = m_monitors.addresses();
    const QList<quint8> present = m_monitors.addresses();
    for (quint8 a : list) {
        if (!present.contains(a))
            return fail(error, QStringLiteral("no monitor at address %1").arg(a));
    }
    m_output(statusText(list).split(QLatin1Char('\n')));
    return true;
}

bool SimCommandExecutor::changeMonitors(const SimCommand &cmd, QString *error)
{
    QList<quint8> targets = cmd.addresses;
    if (cmd.allAddresses)
        targets = m_monitors.addressesLocked();
    for (quint8 a : targets) {
        const bool present = m_monitors.findLocked(a) != nullptr;
        if (cmd.verb == SimCommand::Add && present)
            return fail(error, QStringLiteral("address %1 already has a monitor").arg(a));
        if (cmd.verb != SimCommand::Add && !present)
            return fail(error, QStringLiteral("no monitor at address %1").arg(a));
    }

    const Clock::time_point now = Clock::now();
    for (quint8 a : targets) {
        if (cmd.verb == SimCommand::Add)
            m_monitors.insertLocked(addedState(cmd, a));
        else if (cmd.verb == SimCommand::Remove)
            m_monitors.removeLocked(a);
        else
            change(*m_monitors.findLocked(a), cmd, now);
    }
    return true;
}

SimMonitorState SimCommandExecutor::addedState(const SimCommand &cmd, quint8 address)
{
    SimMonitorState s = SimMonitor::defaultState(address);
    const SimMonitorState &given = cmd.init;
    const quint32 f = cmd.addFields;
    if (f & SimCommand::AddPower) s.power = given.power;
    if (f & SimCommand::AddSerialNumber) s.serialNumber = given.serialNumber;
    if (f & SimCommand::AddVersion) s.version = given.version;
    if (f & SimCommand::AddInput) s.input = given.input;
    if (f & SimCommand::AddMode) s.mode = given.mode;
    if (f & SimCommand::AddRotary) s.rotary = given.rotary;
    if (f & SimCommand::AddFunctions) s.functions = given.functions;
    if (f & SimCommand::AddBoardVersions) s.boardVersions = given.boardVersions;
    if (f & SimCommand::AddTimeCode) s.timeCode = given.timeCode;
    if (f & SimCommand::AddAlarm) {
        s.alarm = given.alarm;
        s.alarmDue = true;
    }
    return s;
}

void SimCommandExecutor::change(SimMonitor &m, const SimCommand &cmd, Clock::time_point now)
{
    switch (cmd.verb) {
    case SimCommand::Power: m.setPower(cmd.flag); break;
    case SimCommand::Alarm: m.setAlarm(quint8(cmd.number)); break;
    case SimCommand::Key: m.pressKey(quint8(cmd.number)); break;
    case SimCommand::Fault: m.setFault(cmd.fault, now); break;
    case SimCommand::Set: {
        const SimMonitorState s = m.snapshot(now);
        switch (cmd.item) {
        case SimCommand::SerialNumber: m.setSerialNumber(cmd.text); break;
        case SimCommand::Version: m.setVersion(cmd.text); break;
        case SimCommand::TimeCode: m.setTimeCode(cmd.text); break;
        case SimCommand::Input: m.setInputMode(quint8(cmd.number), s.mode); break;
        case SimCommand::Mode: m.setInputMode(s.input, quint8(cmd.number)); break;
        case SimCommand::Rotary: m.setRotary(cmd.index, qint8(cmd.number)); break;
        case SimCommand::Functions: m.setFunctions(quint32(cmd.number)); break;
        case SimCommand::BoardVersions: m.setBoardVersions(cmd.bytes); break;
        }
        break;
    }
    default: break;
    }
}

// ---- status ------------------------------------------------------------------

QString SimCommandExecutor::statusLine(const SimMonitorState &s)
{
    QStringList due;
    if (s.alarmDue)
        due << QStringLiteral("alarm");
    if (s.updateDue)
        due << QStringLiteral("update");
    QStringList rotary;
    for (qint8 level : s.rotary)
        rotary << QString::number(level);
    QString line = QStringLiteral("%1 %2 alarm=0x%3 due=%4 changed=0x%5 sn=%6 version=%7 input=%8 mode=%9")
                       .arg(s.address, 3)
                       .arg(s.power ? QStringLiteral("on ") : QStringLiteral("off"))
                       .arg(s.alarm, 2, 16, QLatin1Char('0'))
                       .arg(due.isEmpty() ? QStringLiteral("-") : due.join(QLatin1Char(',')))
                       .arg(s.changedMask, 2, 16, QLatin1Char('0'))
                       .arg(s.serialNumber, s.version)
                       .arg(s.input)
                       .arg(s.mode);
    line += QStringLiteral(" rotary=%1 functions=0x%2 boards=%3 timecode=%4")
                .arg(rotary.join(QLatin1Char(',')))
                .arg(s.functions, 8, 16, QLatin1Char('0'))
                .arg(QString::fromLatin1(s.boardVersions.toHex()), s.timeCode);
    if (s.umdFrames > 0) {
        line += QStringLiteral(" umd=\"%1\" tally=%2")
                    .arg(QString::fromLatin1(s.umdText), tallyText(s.umdTally));
    }
    if (s.fault.kind != SimFault::None)
        line += QStringLiteral(" fault=\"%1\"%2").arg(s.fault.toString(), s.dead ? QStringLiteral(" (dead)") : QString());
    line += QStringLiteral(" requests=%1").arg(s.requests);
    return line;
}

QString SimCommandExecutor::statusText(const QList<quint8> &list) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Clock::time_point now = Clock::now();
    const QString device = m_device.devicePathLocked();
    QStringList lines;
    lines << QStringLiteral("bus %1 baud=%2 turnaround=%3ms monitors=%4 requests=%5 replies=%6%7")
                 .arg(m_device.isVanishedLocked() ? QStringLiteral("(vanished)")
                                                  : device.isEmpty() ? QStringLiteral("(stopped)") : device)
                 .arg(m_line.baudLocked())
                 .arg(m_line.turnaroundLocked())
                 .arg(m_monitors.sizeLocked())
                 .arg(m_line.requestCountLocked())
                 .arg(m_line.replyCountLocked())
                 .arg(m_line.isLineSilentLocked() ? QStringLiteral(" line=silent") : QString());
    for (quint8 a : list) {
        if (const SimMonitor *monitor = m_monitors.findLocked(a))
            lines << statusLine(monitor->snapshot(now));
    }
    return lines.join(QLatin1Char('\n'));
}
