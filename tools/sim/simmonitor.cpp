#include "tools/sim/simmonitor.h"

#include <algorithm>

namespace {

QByteArray padded(const QByteArray &bytes, int length)
{
    QByteArray data = bytes.left(length);
    data.append(QByteArray(length - data.size(), '\0'));
    return data;
}

} // namespace

SimMonitor::SimMonitor(const SimMonitorState &state, Clock::time_point now)
    : m_state(state), m_faultSince(now)
{
    m_state.boardVersions = padded(m_state.boardVersions, 10);
}

SimMonitorState SimMonitor::defaultState(quint8 address)
{
    SimMonitorState s;
    s.address = address;
    s.serialNumber = QStringLiteral("KV%1").arg(address, 4, 10, QLatin1Char('0'));
    s.version = QStringLiteral("1.20");
    s.boardVersions = QByteArray::fromHex("12053011100221001107");
    s.timeCode = QStringLiteral("00:00:00:00");
    return s;
}

SimMonitorState SimMonitor::snapshot(Clock::time_point now) const
{
    SimMonitorState copy = m_state;
    copy.dead = isDead(now);
    return copy;
}

bool SimMonitor::isDead(Clock::time_point now) const
{
    switch (m_state.fault.kind) {
    case SimFault::DiesAfterMs:
        return now - m_faultSince >= std::chrono::milliseconds(m_state.fault.value);
    case SimFault::DiesAfterPolls:
        return m_pollsSinceFault > m_state.fault.value;
    default:
        return false;
    }
}

std::optional<SimMonitor::Reply> SimMonitor::handle(const QByteArray &frame, Clock::time_point now)
{
    ++m_state.requests;
    const quint8 sync = quint8(frame.at(0));
    const quint8 code = quint8(frame.at(1));
    if (code == 0x80 && m_state.fault.kind == SimFault::DiesAfterPolls)
        ++m_pollsSinceFault;
    m_state.dead = isDead(now);
    // A silent monitor hears nothing either: its state stays as it is.
    if (m_state.fault.kind == SimFault::Silence || m_state.dead)
        return std::nullopt;
    if (code == 0x90 && m_state.fault.kind == SimFault::NoQueries)
        return std::nullopt;

    Reply reply;
    reply.bytes.append(char(sync));
    if (code == 0x80 || code == 0x81) {
        reply.bytes.append(char(m_state.stateBits()));
    } else if (code == 0x82) {
        const bool bad = m_state.fault.kind == SimFault::BadAlarm;
        reply.bytes.append(char(bad ? quint8(m_state.fault.value) : m_state.alarm));
        m_state.alarmDue = false;
    } else if (code == 0x83) {
        reply.bytes.append(char(m_state.changedMask ? 1 : 0));
        reply.bytes.append(char(m_state.changedMask));
        m_state.changedMask = 0;
        m_state.updateDue = false;
    } else if (code == 0x90) {
        const quint8 item = quint8(frame.at(2));
        const int length = quint8(frame.at(3));
        const bool wrong = m_state.fault.kind == SimFault::WrongItem;
        reply.bytes.append(char(wrong ? quint8(item + 1) : item));
        reply.bytes.append(itemData(item, length));
    } else if (code == 0xD0) {
        pressKey(quint8(frame.at(3)));
        reply.bytes.append('\0');
    } else {
        // UMD: remembered, never answered.
        m_state.umdTally = code & 0x03;
        m_state.umdText = frame.mid(2, 8);
        ++m_state.umdFrames;
        return std::nullopt;
    }

    switch (m_state.fault.kind) {
    case SimFault::Noise:
        for (int i = 0; i < m_state.fault.value; ++i)
            reply.noise.append(char((0x12 + 0x2B * i) & 0x7F)); // never a sync byte
        break;
    case SimFault::Split: reply.splitPauseMs = m_state.fault.value; break;
    case SimFault::Late: reply.delayMs = m_state.fault.value; break;
    default: break;
    }
    ++m_state.replies;
    return reply;
}

void SimMonitor::setPower(bool on)
{
    if (on == m_state.power)
        return;
    m_state.power = on;
    if (on) {
        // A monitor that has just come on reports everything afresh.
        m_state.alarmDue = true;
        m_state.updateDue = true;
        m_state.changedMask = SimMonitorState::ChangedAll;
    } else {
        m_state.alarmDue = false;
        m_state.updateDue = false;
    }
}

void SimMonitor::setAlarm(quint8 alarm)
{
    m_state.alarm = alarm;
    m_state.alarmDue = true;
}

void SimMonitor::setFault(const SimFault &fault, Clock::time_point now)
{
    m_state.fault = fault;
    m_state.dead = false;
    m_faultSince = now;
    m_pollsSinceFault = 0;
}

void SimMonitor::markChanged(quint8 bits)
{
    m_state.changedMask |= bits;
    m_state.updateDue = true;
}

void SimMonitor::setSerialNumber(const QString &text)
{
    m_state.serialNumber = text;
    markChanged(SimMonitorState::ChangedSerialNumber);
}

void SimMonitor::setVersion(const QString &text)
{
    m_state.version = text;
    markChanged(SimMonitorState::ChangedVersion);
}

void SimMonitor::setInputMode(quint8 input, quint8 mode)
{
    m_state.input = input;
    m_state.mode = mode;
    markChanged(SimMonitorState::ChangedInputMode);
}

void SimMonitor::setRotary(int index, qint8 level)
{
    if (index < 0 || index >= int(m_state.rotary.size()))
        return;
    m_state.rotary[size_t(index)] = level;
    markChanged(SimMonitorState::ChangedRotary);
}

void SimMonitor::setFunctions(quint32 functions)
{
    m_state.functions = functions;
    markChanged(SimMonitorState::ChangedFunctions);
}

void SimMonitor::setBoardVersions(const QByteArray &bytes)
{
    m_state.boardVersions = padded(bytes, 10);
    markChanged(SimMonitorState::ChangedBoardVersions);
}

void SimMonitor::setTimeCode(const QString &text)
{
    m_state.timeCode = text; // fetched with an alarm, so no changed bit
}

bool SimMonitor::pressKey(quint8 key)
{
    if (key == 0xFF) {
        setPower(true);
        return true;
    }
    if (key == 0xFE) {
        setPower(false);
        return true;
    }
    const bool known = (key >= 0x80 && key <= 0x84) || (key >= 0x88 && key <= 0x8C)
                       || (key >= 0x90 && key <= 0x93) || (key >= 0x98 && key <= 0x9C)
                       || (key >= 0xA0 && key <= 0xA4) || (key >= 0xA8 && key <= 0xAC);
    // A monitor in standby only listens to its power key.
    if (!known || !m_state.power)
        return known;
    if (key <= 0x84) {
        // The signal is re-detected on every selection, so it is always
        // reported, even when the input stays the same.
        setInputMode(InputForKey[key - 0x80], m_state.mode);
    } else if (key <= 0x8C) {
        setFunctions(m_state.functions ^ (1u << (key - 0x88)));
    } else if (key >= 0xA0 && key <= 0xA4) {
        const int i = key - 0xA0;
        setRotary(i, qint8(std::min(127, m_state.rotary[size_t(i)] + 1)));
    } else if (key >= 0xA8) {
        const int i = key - 0xA8;
        setRotary(i, qint8(std::max(-128, m_state.rotary[size_t(i)] - 1)));
    }
    // Menu keys and rotary pushes open the on-screen menu: nothing the bus sees.
    return true;
}

QByteArray SimMonitor::itemData(quint8 item, int length) const
{
    QByteArray data;
    switch (item) {
    case 0x02: data = m_state.serialNumber.toLatin1(); break;
    case 0x0C: data = m_state.version.toLatin1(); break;
    case 0x12:
        data.append(char(m_state.input));
        data.append(char(m_state.mode));
        break;
    case 0x14:
        for (qint8 level : m_state.rotary)
            data.append(char(level));
        break;
    case 0x19:
        for (int shift = 24; shift >= 0; shift -= 8)
            data.append(char((m_state.functions >> shift) & 0xFF));
        break;
    case 0x30: data = m_state.timeCode.toLatin1(); break;
    case 0x3E: data = m_state.boardVersions; break;
    default: break; // an item this monitor does not know: zeros
    }
    return padded(data, length);
}
