#include "protocol/protocmd.h"

ProtoCmd::ProtoCmd(quint8 address)
    : RSCmd(address, CodeProto, 2)
{
}
