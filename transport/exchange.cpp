#include "transport/exchange.h"

#include "protocol/rscmd.h"
#include "transport/logcategories.h"
#include "transport/serialsettings.h"

#include <QDateTime>
#include <QSerialPort>

#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const char *statusName(int status)
{
    switch (status) {
    case RSCmd::StatusSendError:
        return "SEND_ERROR";
    case RSCmd::StatusReadError:
        return "READ_ERROR";
    default:
        return "?";
    }
}

} // namespace

Exchange::Exchange(QSerialPort *port)
    : port(port),
      totalTimeout(SerialSettings::DefaultTotalTimeout)
{
}

// Trace: "> request" once it is on the wire, "< reply" once it is whole,
// "! request STATUS" (with any partial reply) when the exchange failed.
bool Exchange::transact(RSCmd *cmd)
{
    const QByteArray frame = cmd->request();
    Clock::time_point handedAt = Clock::now();
    if (!sendFrame(frame, &handedAt))
        return fail(cmd, RSCmd::StatusSendError, frame, handedAt);
    qCDebug(lcBus, "> %s", frame.toHex(' ').constData());
    if (cmd->replyLength <= 0) {
        std::this_thread::sleep_for(milliseconds(UmdPauseMs));
        cmd->status = RSCmd::StatusOk;
        return true;
    }
    if (!receiveReply(cmd))
        return fail(cmd, RSCmd::StatusReadError, frame, handedAt);
    noteTime(cmd, handedAt);
    qCDebug(lcBus, "< %s", cmd->reply.toHex(' ').constData());
    cmd->status = RSCmd::StatusOk;
    return true;
}

// The clock is read once the exchange is over, before anything else is
// done, so that the figure is the bus's and not the trace's or the log's.
void Exchange::noteTime(RSCmd *cmd, Clock::time_point handedAt)
{
    if (cmd->replyLength <= 0)
        return; // a frame nobody answers says nothing about the monitor
    cmd->busTimeUs = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - handedAt).count();
    cmd->endedAtMs = QDateTime::currentMSecsSinceEpoch();
}

bool Exchange::fail(RSCmd *cmd, int status, const QByteArray &frame, Clock::time_point handedAt)
{
    noteTime(cmd, handedAt);
    cmd->status = status;
    if (cmd->reply.isEmpty())
        qCDebug(lcBus, "! %s %s", frame.toHex(' ').constData(), statusName(status));
    else
        qCDebug(lcBus, "! %s %s, got %s", frame.toHex(' ').constData(), statusName(status),
                cmd->reply.toHex(' ').constData());
    return false;
}

bool Exchange::sendFrame(const QByteArray &frame, Clock::time_point *handedAt)
{
    const Clock::time_point deadline = Clock::now() + milliseconds(totalTimeout);
    // The error is sticky; only this exchange's own may end it. Cleared
    // only when set: clearing builds the translated "no error" text anew,
    // a lookup in every installed translator, on every exchange.
    if (port->error() != QSerialPort::NoError)
        port->clearError();
    // Leftovers of an earlier exchange must not pass for this reply.
    if (hasLeftovers())
        port->clear();
    *handedAt = Clock::now();
    if (port->write(frame) < 0)
        return false;
    for (;;) {
        // Hands the driver what it takes now, without waiting. write() only
        // filled QSerialPort's buffer; a driver that refuses the bytes (a
        // device gone: EIO, ENXIO) says so here, and waiting cannot help.
        port->flush();
        if (writeRejected())
            return false;
        if (port->bytesToWrite() == 0)
            return true;
        const Clock::time_point waitStart = Clock::now();
        if (deadline <= waitStart)
            return false;
        // A device that went away answers every wait at once; pace the
        // retries instead of spinning until the deadline.
        if (!port->waitForBytesWritten(ReadWaitMs) && port->bytesToWrite() > 0)
            std::this_thread::sleep_until(waitStart + milliseconds(ReadWaitMs));
    }
}

bool Exchange::deviceGone() const
{
    if (!port->isOpen())
        return true;
    const QSerialPort::SerialPortError error = port->error();
    if (error == QSerialPort::ResourceError || error == QSerialPort::NotOpenError)
        return true;
#ifdef Q_OS_UNIX
    // A hang-up or error is reported whatever events are asked for; a
    // monitor that is merely silent leaves the descriptor quiet.
    pollfd descriptor{port->handle(), 0, 0};
    if (::poll(&descriptor, 1, 0) > 0 && (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
#endif
    return false;
}

bool Exchange::writeRejected() const
{
    const QSerialPort::SerialPortError error = port->error();
    return error == QSerialPort::WriteError || error == QSerialPort::ResourceError
        || error == QSerialPort::NotOpenError;
}

// The purge is asked only for what is there. On a pseudo-terminal (and some
// USB adapters) the driver-level flush waits for the line's own delivery
// work and costs more than a whole exchange; asking the queues is cheap.
bool Exchange::hasLeftovers() const
{
    if (port->bytesAvailable() > 0 || port->bytesToWrite() > 0)
        return true;
#ifdef Q_OS_UNIX
    const int fd = port->handle();
    int input = 0;
    int output = 0;
    // A query that fails (a device gone) purges as before.
    if (::ioctl(fd, TIOCINQ, &input) != 0 || ::ioctl(fd, TIOCOUTQ, &output) != 0)
        return true;
    return input > 0 || output > 0;
#else
    return true;
#endif
}

bool Exchange::receiveReply(RSCmd *cmd)
{
    const char sync = char(cmd->syncByte());
    const Clock::time_point deadline = Clock::now() + milliseconds(totalTimeout);
    cmd->reply.clear();
    for (;;) {
        const Clock::time_point readStart = Clock::now();
        if (port->bytesAvailable() == 0)
            port->waitForReadyRead(ReadWaitMs);
        const QByteArray arrived = port->read(cmd->replyLength - cmd->reply.size());
        cmd->reply.append(arrived);

        const qsizetype syncAt = cmd->reply.indexOf(sync);
        if (syncAt < 0)
            cmd->reply.clear();
        else if (syncAt > 0)
            cmd->reply.remove(0, syncAt); // noise or other traffic before the reply

        if (cmd->reply.size() == cmd->replyLength)
            return true;
        // A read that came back empty before its time (hang-up, error)
        // still takes its full slot, so that a dead device never makes a
        // busy loop of this phase; a device that is gone ends it at once.
        if (arrived.isEmpty()) {
            if (deviceGone())
                return false;
            std::this_thread::sleep_until(readStart + milliseconds(ReadWaitMs));
        }
        if (deadline <= Clock::now())
            return false;
    }
}
