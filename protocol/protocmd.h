#ifndef PROTOCMD_H
#define PROTOCMD_H

#include "protocol/rscmd.h"

// Code 0x81; replies and applies like the echo.
class ProtoCmd : public RSCmd
{
public:
    explicit ProtoCmd(quint8 address);
};

#endif // PROTOCMD_H
