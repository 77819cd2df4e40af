#include "tests/support/ptyclient.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

bool PtyClient::open(const QString &path)
{
    close();
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0) {
        close();
        return false;
    }
    cfmakeraw(&tio);
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
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EAGAIN) {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else if (n <= 0) {
            return false;
        } else {
            done += n;
        }
    }
    return true;
}

QList<PtyClient::Chunk> PtyClient::readChunks(int count, int timeoutMs)
{
    QList<Chunk> chunks;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (int have = 0; have < count;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{m_fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, int(left) + 1) <= 0 || (p.revents & ~POLLIN))
            break; // time-out, or hang-up and error: nothing more will come
        char buffer[512];
        const ssize_t n = ::read(m_fd, buffer, size_t(std::min<int>(count - have, 512)));
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
    for (QByteArray more = read(4096, quietMs); !more.isEmpty(); more = read(4096, quietMs))
        all += more;
    return all;
}

QByteArray PtyClient::exchange(const QByteArray &request, int replyLength, int timeoutMs)
{
    tcflush(m_fd, TCIFLUSH);
    return write(request) ? read(replyLength, timeoutMs) : QByteArray();
}
