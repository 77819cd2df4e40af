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
    struct Chunk { // one read() worth of bytes and when it arrived
        QByteArray bytes;
        Clock::time_point at;
    };

    ~PtyClient() { close(); }
    bool open(const QString &path);
    void close();
    int fd() const { return m_fd; }
    bool write(const QByteArray &bytes);
    // Reads until count bytes have arrived or timeoutMs has passed.
    QList<Chunk> readChunks(int count, int timeoutMs);
    QByteArray read(int count, int timeoutMs);
    // Everything that arrives until the line has been quiet for quietMs.
    QByteArray drain(int quietMs);
    // Discards what is waiting, writes the request and reads the reply.
    QByteArray exchange(const QByteArray &request, int replyLength, int timeoutMs = 500);

private:
    int m_fd = -1;
};

// "85 80" -> the bytes 0x85 0x80.
inline QByteArray hexToBytes(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

#endif // PTYCLIENT_H
