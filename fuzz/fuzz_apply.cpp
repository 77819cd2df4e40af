// Reply decoding: whatever bytes come back from the bus, apply() must only
// read what is there and must leave a record that can still be used.
#include "monitor/cmonitor.h"
#include "protocol/alarmcmd.h"
#include "protocol/controlcmd.h"
#include "protocol/protocmd.h"
#include "protocol/querycmd.h"
#include "protocol/rscmd.h"
#include "protocol/umdcmd.h"
#include "protocol/updatecmd.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

// Input: kind byte, then for query the item and data length, for control the
// key code; everything after that is the reply.
std::unique_ptr<RSCmd> makeCommand(const uint8_t *&data, size_t &size)
{
    auto take = [&]() -> quint8 {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    };
    const quint8 address = 1;
    switch (take() % 7) {
    case 0:
        return std::make_unique<RSCmd>(address);
    case 1:
        return std::make_unique<ProtoCmd>(address);
    case 2:
        return std::make_unique<AlarmCmd>(address);
    case 3:
        return std::make_unique<UpdateCmd>(address);
    case 4: {
        const quint8 item = take();
        const quint8 length = take();
        return std::make_unique<QueryCmd>(item, length, address);
    }
    case 5:
        return std::make_unique<ControlCmd>(take(), address);
    default:
        return std::make_unique<UMDCmd>(QByteArray("FUZZ"), take(), address);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::unique_ptr<RSCmd> cmd = makeCommand(data, size);
    cmd->request();
    cmd->reply = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    cmd->status = RSCmd::StatusOk;
    CMonitor monitor(cmd->address);
    cmd->apply(&monitor);
    // A second reply on the same record: decoders must not depend on a
    // fresh record.
    cmd->apply(&monitor);
    return 0;
}
