#include "bench/monitorflapper.h"

#include "monitor/alarmstatus.h"
#include "protocol/alarmcmd.h"
#include "supervision/mcontroller.h"
#include "tools/sim/simbus.h"

MonitorFlapper::MonitorFlapper(SimBus &bus, MController &controller, quint32 seed,
                               const QString &expectedFile, QObject *parent)
    : QObject(parent), bus(bus), controller(controller), random(seed), expectedOut(expectedFile)
{
    expectedOk = expectedOut.open(QIODevice::WriteOnly | QIODevice::Truncate);
    // Direct: the supervisor logs right before or right after it publishes a
    // change, so the expected lines come out in the order they were logged.
    connect(&controller, &MController::monitorChanged, this, &MonitorFlapper::onMonitorChanged,
            Qt::DirectConnection);
    connect(&timer, &QTimer::timeout, this, &MonitorFlapper::step);
    clock.start();
}

void MonitorFlapper::expect(const QString &text, bool prefix)
{
    addLine(text, prefix);
}

void MonitorFlapper::addLine(const QString &text, bool prefix)
{
    ++lineCount;
    expectedOk &= expectedOut.write((prefix ? "^" : "=") + text.toUtf8() + '\n') > 0;
}

void MonitorFlapper::addFault(const QString &text)
{
    if (++faultsSeen <= 20)
        faultList << text;
}

QList<MonitorFlapper::Line> MonitorFlapper::readExpected(const QString &expectedFile)
{
    QFile file(expectedFile);
    QList<Line> list;
    if (!file.open(QIODevice::ReadOnly))
        return list;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            list << Line{QString::fromUtf8(line.mid(1)), line.startsWith('^')};
    }
    return list;
}

void MonitorFlapper::start(int changesPerSecond)
{
    addresses.clear();
    for (int i = 0; i < controller.monitorCount(); ++i) {
        const CMonitor *m = controller.monitorAt(i);
        last.insert(m->address, *m);
        addresses << m->address;
        const std::optional<SimMonitorState> state = bus.monitor(m->address);
        if (state)
            sims.insert(m->address, Sim{state->power, state->alarm, state->input, state->mode});
    }
    timer.start(qMax(1, 1000 / qMax(1, changesPerSecond)));
}

void MonitorFlapper::stop()
{
    timer.stop();
}

bool MonitorFlapper::flushExpected()
{
    expectedOk &= expectedOut.flush();
    return expectedOk;
}

QString MonitorFlapper::nextTimeCode()
{
    // Unique for days of changes, so that each fetch is told apart.
    const quint32 n = ++timeCodeCounter;
    return QStringLiteral("%1:%2:%3:%4")
        .arg(n / 108000 % 24, 2, 10, QLatin1Char('0'))
        .arg(n / 1800 % 60, 2, 10, QLatin1Char('0'))
        .arg(n / 30 % 60, 2, 10, QLatin1Char('0'))
        .arg(n % 30, 2, 10, QLatin1Char('0'));
}

void MonitorFlapper::step()
{
    if (addresses.isEmpty())
        return;
    // One change on a monitor whose last change has been reported.
    quint8 address = 0;
    for (int tries = 0; tries < 16 && !address; ++tries) {
        const quint8 a = addresses.at(int(random.bounded(quint32(addresses.size()))));
        if (targets.value(a).kind == Idle && sims.contains(a))
            address = a;
    }
    if (!address)
        return;
    Sim &sim = sims[address];
    Target &target = targets[address];
    target = Target();
    target.sinceMs = clock.elapsed();
    const quint32 roll = random.bounded(100u);
    if (!sim.power) {
        target.kind = PowerOn;
        sim.power = true;
        bus.setPower(address, true);
        ++changesMade.powerOn;
    } else if (roll < 50) {
        quint8 alarm = sim.alarm;
        while (alarm == sim.alarm || !AlarmCmd::isValidAlarmByte(alarm))
            alarm = quint8(random.bounded(32u));
        target.kind = Alarm;
        target.alarm = alarm;
        target.timeCode = nextTimeCode();
        sim.alarm = alarm;
        // The time code first: the alarm makes the monitor due, and what is
        // fetched after it must be the new time code.
        bus.setTimeCode(address, target.timeCode);
        bus.setAlarm(address, alarm);
        ++changesMade.alarms;
    } else if (roll < 80) {
        quint8 input = sim.input;
        quint8 mode = sim.mode;
        while (input == sim.input && mode == sim.mode) {
            input = quint8(random.bounded(11u));
            mode = quint8(random.bounded(57u));
        }
        target.kind = Input;
        target.input = sim.input = input;
        target.mode = sim.mode = mode;
        bus.setInputMode(address, input, mode);
        ++changesMade.inputs;
    } else {
        target.kind = PowerOff;
        sim.power = false;
        bus.setPower(address, false);
        ++changesMade.powerOff;
    }
    ++pendingCount;
}

void MonitorFlapper::settle(Target &target)
{
    if (target.kind == Idle)
        return;
    target.kind = Idle;
    --pendingCount;
}

void MonitorFlapper::expireOverdue(int timeoutMs)
{
    const qint64 now = clock.elapsed();
    for (auto it = targets.begin(); it != targets.end(); ++it) {
        Target &target = it.value();
        if (target.kind == Idle || now - target.sinceMs <= timeoutMs)
            continue;
        static const char *const names[] = {"", "alarm", "power off", "power on", "input"};
        addFault(QStringLiteral("monitor %1: the %2 change was not reported within %3 ms%4")
                         .arg(it.key())
                         .arg(QLatin1String(names[target.kind]))
                         .arg(timeoutMs)
                         .arg(target.kind == Alarm && target.timeCodeDue
                                  ? QStringLiteral(" (time code %1 not fetched)").arg(target.timeCode)
                                  : QString()));
        settle(target);
    }
}

void MonitorFlapper::onMonitorChanged(const CMonitor &m)
{
    const CMonitor previous = last.value(m.address, CMonitor(m.address));
    last.insert(m.address, m);
    Target &target = targets[m.address];
    const QString address = QString::number(m.address);

    if (m.timeCode != previous.timeCode) {
        // Logged right before the change was published.
        addLine(QStringLiteral("[TIMECODE](%1) - SN(%2) - ADDRESS(%3)")
                    .arg(m.timeCode, m.serialNumber, address));
        ++changesReported.timeCodes;
        if (!(target.kind == Alarm && target.timeCodeDue && m.timeCode == target.timeCode))
            addFault(QStringLiteral("monitor %1: time code %2 fetched, nobody asked for it")
                             .arg(address, m.timeCode));
    }
    if ((m.state & CMonitor::StateZombie) && !(previous.state & CMonitor::StateZombie)) {
        // Not caused here, but logged all the same: the failed poll, then
        // the zombie line, then the change is published.
        addLine(QStringLiteral("[ERROR]: CMD(ECHO) - MSG("), true);
        addLine(QStringLiteral("[MONITOR]: ZOMBIE - SN(%1) - ADDRESS(%2)").arg(m.serialNumber, address));
        ++changesReported.zombies;
    }
    if (m.alarm != previous.alarm) {
        // Logged right after the change was published.
        addLine(QStringLiteral("[ALARM]: STATE(%1) - SN(%2) - ADDRESS(%3)")
                    .arg(statusText(m), m.serialNumber, address));
        ++changesReported.alarms;
        if (target.kind == Alarm && quint8(m.alarm) == target.alarm) {
            // The supervisor's own test, on the record it just published.
            target.timeCodeDue = isIreAlarm(m) || isRgbAlarm(m);
        } else {
            addFault(QStringLiteral("monitor %1: alarm changed to %2, nobody set it").arg(address).arg(m.alarm));
        }
    }

    switch (target.kind) {
    case Idle:
        break;
    case Alarm:
        if (quint8(m.alarm) == target.alarm && (!target.timeCodeDue || m.timeCode == target.timeCode)) {
            if (target.timeCodeDue)
                ++changesMade.timeCodes;
            settle(target);
        }
        break;
    case PowerOff:
        if (!(m.state & CMonitor::StatePower)) {
            ++changesReported.powerOff;
            settle(target);
        }
        break;
    case PowerOn:
        if (m.state & CMonitor::StatePower) {
            ++changesReported.powerOn;
            settle(target);
        }
        break;
    case Input:
        if (m.input == target.input && m.mode == target.mode) {
            ++changesReported.inputs;
            settle(target);
        }
        break;
    }
}
