#include "protocol/controlcmd.h"

ControlCmd::ControlCmd(quint8 keyCode, quint8 address)
    : RSCmd(address, CodeControl, 2), keyCode(keyCode)
{
}

QByteArray ControlCmd::request()
{
    QByteArray frame = shortRequest();
    frame.append('\0');
    frame.append(char(keyCode));
    return frame;
}

bool ControlCmd::apply(CMonitor *)
{
    return false;
}
