#ifndef EXCHANGE_H
#define EXCHANGE_H

#include <QByteArray>

#include <chrono>

class QSerialPort;
class RSCmd;

// One bus exchange on the open port: the request out, then the whole reply
// in, within the total time-out. Used only by the thread that owns the port;
// the port is not owned. Every frame is traced under kelvaro.bus.
class Exchange
{
public:
    // Fixed per-read wait of the receive phase, and the pace of every retry.
    static constexpr int ReadWaitMs = 10;
    // Time a monitor gets to take in a UMD frame, which it never answers.
    static constexpr int UmdPauseMs = 20;

    explicit Exchange(QSerialPort *port);

    // The limit of each phase, sending and receiving, in milliseconds.
    void setTotalTimeout(int ms) { totalTimeout = ms; }
    int totalTimeoutMs() const { return totalTimeout; }

    // Sends the command's request and reads its reply into cmd->reply. Sets
    // cmd->status (Ok, SendError or ReadError); true when it is Ok. Times
    // every exchange that expects a reply (cmd->busTimeUs, cmd->endedAtMs).
    bool transact(RSCmd *cmd);
    // True when the device behind the open port is gone (unplugged, hung
    // up), not merely silent.
    bool deviceGone() const;

private:
    // *handedAt: when the first byte went to the port.
    bool sendFrame(const QByteArray &frame, std::chrono::steady_clock::time_point *handedAt);
    bool receiveReply(RSCmd *cmd);
    bool hasLeftovers() const;
    // True when the driver refused the bytes handed to it.
    bool writeRejected() const;
    bool fail(RSCmd *cmd, int status, const QByteArray &frame,
              std::chrono::steady_clock::time_point handedAt);
    static void noteTime(RSCmd *cmd, std::chrono::steady_clock::time_point handedAt);

    QSerialPort *port;
    int totalTimeout;
};

#endif // EXCHANGE_H
