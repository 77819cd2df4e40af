#ifndef PTYCLIENT_H
#define PTYCLIENT_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>

// The controller's end of the simulated bus, reached with plain POSIX calls
// as a serial port would be: open, raw termios, write, poll and read.
class PtyClient
{
public:
    using Clock = std::chrono::steady_clock;

    // One read() worth of bytes and when it arrived.
    struct Chunk {
        QByteArray bytes;
        Clock::time_point at;
    };

    PtyClient() = default;
    ~PtyClient();
    PtyClient(const PtyClient &) = delete;
    PtyClient &operator=(const PtyClient &) = delete;

    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    bool write(const QByteArray &bytes);
    // Reads until count bytes have arrived or timeoutMs has passed.
    QByteArray read(int count, int timeoutMs);
    // The same, keeping each read's bytes and arrival time apart.
    QList<Chunk> readChunks(int count, int timeoutMs);
    // Everything that arrives until the line has been quiet for quietMs.
    QByteArray drain(int quietMs);
    // Discards what is waiting, writes the request and reads the reply.
    QByteArray exchange(const QByteArray &request, int replyLength, int timeoutMs = 500);
    // poll() events of the descriptor within timeoutMs (0 when none).
    short waitEvents(int timeoutMs);

private:
    int m_fd = -1;
};

// "85 80" -> the bytes 0x85 0x80.
QByteArray hexToBytes(const char *hex);

#endif // PTYCLIENT_H
