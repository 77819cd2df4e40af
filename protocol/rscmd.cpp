#include "protocol/rscmd.h"

#include "monitor/cmonitor.h"

RSCmd::RSCmd(quint8 address)
    : RSCmd(address, CodeEcho, 2)
{
}

RSCmd::RSCmd(quint8 address, quint8 code, int replyLength)
    : address(address), code(code), status(StatusNew), replyLength(replyLength)
{
}

RSCmd::~RSCmd() = default;

quint8 RSCmd::replyByte(int n) const
{
    return n < reply.size() ? quint8(reply.at(n)) : 0;
}

QByteArray RSCmd::shortRequest() const
{
    QByteArray frame;
    frame.append(char(syncByte()));
    frame.append(char(code));
    return frame;
}

QByteArray RSCmd::request()
{
    return shortRequest();
}

bool RSCmd::apply(CMonitor *monitor)
{
    const quint32 old = monitor->state;
    quint32 state = replyByte(1) & (CMonitor::StatePower | CMonitor::StateAlarmDue
                                    | CMonitor::StateUpdateDue);
    // A monitor that has just come on (or answers again) is read out afresh.
    if (!(old & CMonitor::StatePower) && (state & CMonitor::StatePower)) {
        state |= CMonitor::StateAlarmDue | CMonitor::StateUpdateDue;
        monitor->pendingQueries |= CMonitor::AllQueries;
    }
    monitor->state = state;
    return state != old;
}
