// The supervisor's reply analysis: any sequence of finished commands, for
// any address, with any status and reply, must be taken in without a fault.
// The bus is never started, so follow-up commands only pile up in the queue.
#include "monitor/cmonitor.h"
#include "protocol/alarmcmd.h"
#include "protocol/controlcmd.h"
#include "protocol/protocmd.h"
#include "protocol/querycmd.h"
#include "protocol/rscmd.h"
#include "protocol/umdcmd.h"
#include "protocol/updatecmd.h"
#include "supervision/mcontroller.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class Input
{
public:
    Input(const uint8_t *data, size_t size) : data(data), size(size) {}
    bool atEnd() const { return size == 0; }
    quint8 take()
    {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }

private:
    const uint8_t *data;
    size_t size;
};

// One finished command: kind, address, status, reply length, reply bytes.
// A few addresses only, so that commands meet the records others created.
RSCmd *nextCommand(Input &in)
{
    const quint8 kind = in.take() % 7;
    const quint8 address = in.take() % 4;
    RSCmd *cmd = nullptr;
    switch (kind) {
    case 0: cmd = new RSCmd(address); break;
    case 1: cmd = new ProtoCmd(address); break;
    case 2: cmd = new AlarmCmd(address); break;
    case 3: cmd = new UpdateCmd(address); break;
    case 4: {
        const quint8 item = in.take();
        cmd = new QueryCmd(item, in.take(), address);
        break;
    }
    case 5: cmd = new ControlCmd(in.take(), address); break;
    default: cmd = new UMDCmd(QByteArray("FUZZ"), in.take(), address); break;
    }
    cmd->status = in.take() % 5;
    const int length = in.take() % 24;
    for (int i = 0; i < length && !in.atEnd(); ++i)
        cmd->reply.append(char(in.take()));
    return cmd;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The supervisor writes its event log and reads its settings in the
    // working directory: a scratch one, gone at exit.
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path()))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in(data, size);
    {
        MController controller;
        for (int n = 0; n < 64 && !in.atEnd(); ++n)
            controller.cmdAnalyzer(nextCommand(in));
        for (int row = 0; row < controller.monitorCount(); ++row) {
            if (!controller.monitorAt(row))
                std::abort();
        }
    }
    // Every controller starts a log file of its own: without this the
    // scratch directory fills with hundreds of thousands of them.
    QDir scratch = QDir::current();
    for (const QString &name : scratch.entryList(QDir::Files))
        scratch.remove(name);
    return 0;
}
