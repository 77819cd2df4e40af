#include "protocol/querycmd.h"

#include "monitor/cmonitor.h"

QueryCmd::QueryCmd(quint8 item, int dataLength, quint8 address)
    : RSCmd(address, CodeQuery, dataLength + 2), item(item)
{
}

QByteArray QueryCmd::request()
{
    QByteArray frame = shortRequest();
    frame.append(char(item));
    frame.append(char(replyLength - 2));
    return frame;
}

QByteArray QueryCmd::data() const
{
    return reply.size() > 2 ? reply.mid(2) : QByteArray();
}

QString QueryCmd::dataText() const
{
    const QByteArray bytes = data();
    const int end = bytes.indexOf('\0');
    return QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
}

bool QueryCmd::apply(CMonitor *m)
{
    if (replyByte(1) != item)
        return false;

    quint32 cleared = 0;
    switch (item) {
    case CMonitor::ItemSerialNumber:
        m->serialNumber = dataText();
        cleared = CMonitor::QuerySerialNumber;
        break;
    case CMonitor::ItemVersion:
        m->version = dataText();
        cleared = CMonitor::QueryVersion;
        break;
    case CMonitor::ItemInputMode:
        m->input = replyByte(2);
        m->mode = replyByte(3);
        cleared = CMonitor::QueryInputMode;
        break;
    case CMonitor::ItemRotary:
        for (int i = 0; i < CMonitor::RotaryCount; ++i)
            m->rotaryValues[i] = qint8(replyByte(2 + i));
        cleared = CMonitor::QueryRotary;
        break;
    case CMonitor::ItemFunctions: // big-endian: byte 2 holds bits 31-24
        m->functions = quint32(replyByte(2)) << 24 | quint32(replyByte(3)) << 16
                     | quint32(replyByte(4)) << 8 | quint32(replyByte(5));
        cleared = CMonitor::QueryFunctions;
        break;
    case CMonitor::ItemTimeCode:
        m->timeCode = dataText();
        break;
    case CMonitor::ItemBoardVersions:
        m->boardVersions = data();
        cleared = CMonitor::QueryBoardVersions;
        break;
    default: // an item nobody asks for changes nothing
        return true;
    }
    m->pendingQueries &= ~cleared;
    return true;
}
