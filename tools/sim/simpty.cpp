#include "tools/sim/simpty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

SimPty::~SimPty()
{
    close();
}

bool SimPty::open(QString *error, const QString &avoidPath)
{
    if (!openPair(error))
        return false;
    if (avoidPath.isEmpty() || m_path != avoidPath)
        return true;
    // Linux gives out the lowest free number, often the one just released.
    // Holding that pair open while asking again forces another number.
    const int spareMaster = m_master;
    const int spareSlave = m_slave;
    m_master = -1;
    m_slave = -1;
    m_path.clear();
    const bool opened = openPair(error);
    ::close(spareSlave);
    ::close(spareMaster);
    return opened;
}

bool SimPty::openPair(QString *error)
{
    close();
    auto fail = [&](const char *what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
        close();
        return false;
    };

    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0)
        return fail("grantpt");
    if (unlockpt(m_master) != 0)
        return fail("unlockpt");
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    m_path = QString::fromLocal8Bit(name);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");
    // Raw from the start: a controller that opens the device without setting
    // the line up itself must not get its own requests echoed back.
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0)
        return fail("tcgetattr");
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return fail("tcsetattr");

    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    return true;
}

void SimPty::close()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
    m_path.clear();
}
