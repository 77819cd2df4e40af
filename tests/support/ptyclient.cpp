#include "tests/support/ptyclient.h"

#include <QDeadlineTimer>

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
    return tcsetattr(m_fd, TCSANOW, &tio) == 0 && tcflush(m_fd, TCIOFLUSH) == 0;
}

void PtyClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool PtyClient::write(const QByteArray &bytes)
{
    // Requests are a few bytes; the pseudo-terminal always takes them whole.
    return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray PtyClient::read(int count, int timeoutMs)
{
    QByteArray all;
    const QDeadlineTimer deadline(timeoutMs);
    while (all.size() < count) {
        pollfd p{m_fd, POLLIN, 0};
        if (deadline.hasExpired() || ::poll(&p, 1, int(deadline.remainingTime()) + 1) <= 0 || (p.revents & ~POLLIN))
            break; // time-out, or hang-up and error: nothing more will come
        char buffer[512];
        const ssize_t n = ::read(m_fd, buffer, size_t(std::min<qsizetype>(count - all.size(), sizeof buffer)));
        if (n <= 0)
            break;
        all.append(buffer, n);
    }
    return all;
}
