#include "ptyclient.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyClient::~PtyClient()
{
    close();
}

bool PtyClient::open(const QString &path)
{
    close();
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) {
        close();
        return false;
    }
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(m_fd, TCSANOW, &tio);
    tcflush(m_fd, TCIOFLUSH);
    return true;
}

void PtyClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool PtyClient::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EAGAIN) {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QList<PtyClient::Chunk> PtyClient::readChunks(int count, int timeoutMs)
{
    QList<Chunk> chunks;
    int have = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (have < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, int(left) + 1) <= 0)
            continue;
        if (!(p.revents & POLLIN))
            break; // hang-up or error: nothing more will come
        char buffer[512];
        const ssize_t n = ::read(m_fd, buffer, size_t(std::min<int>(count - have, int(sizeof buffer))));
        if (n <= 0)
            break;
        chunks.append({QByteArray(buffer, int(n)), Clock::now()});
        have += int(n);
    }
    return chunks;
}

QByteArray PtyClient::read(int count, int timeoutMs)
{
    QByteArray all;
    for (const Chunk &c : readChunks(count, timeoutMs))
        all += c.bytes;
    return all;
}

QByteArray PtyClient::drain(int quietMs)
{
    QByteArray all;
    for (;;) {
        const QByteArray more = read(4096, quietMs);
        if (more.isEmpty())
            return all;
        all += more;
    }
}

QByteArray PtyClient::exchange(const QByteArray &request, int replyLength, int timeoutMs)
{
    tcflush(m_fd, TCIFLUSH);
    if (!write(request))
        return QByteArray();
    return read(replyLength, timeoutMs);
}

short PtyClient::waitEvents(int timeoutMs)
{
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return 0;
    return p.revents;
}

QByteArray hexToBytes(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}
