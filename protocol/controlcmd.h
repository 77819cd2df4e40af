#ifndef CONTROLCMD_H
#define CONTROLCMD_H

#include "protocol/rscmd.h"

// Presses one front-panel key: request "sync, 0xD0, 0x00, keyCode", reply
// "sync, anything".
class ControlCmd : public RSCmd
{
public:
    ControlCmd(quint8 keyCode, quint8 address);

    QByteArray request() override;
    bool apply(CMonitor *monitor) override; // always false, changes nothing

    quint8 keyCode;
};

#endif // CONTROLCMD_H
