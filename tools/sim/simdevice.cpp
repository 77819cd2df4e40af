#include "tools/sim/simdevice.h"

#include "tools/sim/simline.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isSymlink(const QByteArray &path)
{
    struct stat st{};
    return lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool exists(const QByteArray &path)
{
    struct stat st{};
    return lstat(path.constData(), &st) == 0;
}

} // namespace

SimDevice::SimDevice(std::mutex &busMutex, SimLine &line, Output output)
    : m_mutex(busMutex), m_line(line), m_output(std::move(output))
{
}

SimDevice::~SimDevice()
{
    stop();
}

// ---- life cycle ----------------------------------------------------------

bool SimDevice::start(QString *error)
{
    std::lock_guard<std::mutex> life(m_lifecycleMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_running)
            return true;
    }
    return open(error);
}

bool SimDevice::open(QString *error, const QString &avoidPath)
{
    if (!m_line.canStart(error))
        return false;
    if (!m_pty.open(error, avoidPath))
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = true;
        m_devicePath = m_pty.slavePath();
    }
    m_line.start(m_pty.masterFd());
    if (!makeLink(error)) {
        close();
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vanished = false;
    return true;
}

void SimDevice::close()
{
    m_line.stop();
    m_pty.close();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    m_devicePath.clear();
}

void SimDevice::stop()
{
    std::lock_guard<std::mutex> life(m_lifecycleMutex);
    close();
    removeLink();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vanished = false;
}

bool SimDevice::isRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

bool SimDevice::vanish()
{
    {
        std::lock_guard<std::mutex> life(m_lifecycleMutex);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_running)
                return false;
        }
        const QString gone = devicePath();
        close();
        removeLink();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vanished = true;
        m_vanishedPath = gone;
    }
    m_output({QStringLiteral("device gone")});
    return true;
}

bool SimDevice::reappear(QString *error, bool newNode)
{
    QString path;
    {
        std::lock_guard<std::mutex> life(m_lifecycleMutex);
        QString avoid;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_vanished) {
                if (error)
                    *error = QStringLiteral("the device has not vanished");
                return false;
            }
            if (newNode)
                avoid = m_vanishedPath;
        }
        if (!open(error, avoid))
            return false;
        path = devicePath();
    }
    m_output({QStringLiteral("device %1").arg(path)});
    return true;
}

bool SimDevice::isVanished() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return isVanishedLocked();
}

bool SimDevice::isVanishedLocked() const
{
    return m_vanished;
}

QString SimDevice::devicePath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return devicePathLocked();
}

QString SimDevice::devicePathLocked() const
{
    return m_devicePath;
}

// ---- the link ----------------------------------------------------------------

bool SimDevice::setLinkPath(const QString &path, QString *error)
{
    std::lock_guard<std::mutex> life(m_lifecycleMutex);
    removeLink();
    bool running = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_linkPath = path;
        running = m_running;
    }
    return !running || makeLink(error);
}

QString SimDevice::linkPath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_linkPath;
}

bool SimDevice::makeLink(QString *error)
{
    QString link;
    QString target;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        link = m_linkPath;
        target = m_devicePath;
    }
    if (link.isEmpty() || target.isEmpty())
        return true;
    const QByteArray linkName = link.toLocal8Bit();
    if (exists(linkName) && !isSymlink(linkName)) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(link);
        return false;
    }
    // Made aside and renamed over the old one, so the link never dangles
    // half-way and a controller opening it meanwhile gets old or new.
    const QByteArray temp = linkName + ".tmp" + QByteArray::number(getpid());
    ::unlink(temp.constData());
    if (::symlink(target.toLocal8Bit().constData(), temp.constData()) != 0
        || ::rename(temp.constData(), linkName.constData()) != 0) {
        const int e = errno;
        ::unlink(temp.constData());
        if (error)
            *error = QStringLiteral("cannot link %1: %2").arg(link, QString::fromLocal8Bit(strerror(e)));
        return false;
    }
    return true;
}

void SimDevice::removeLink()
{
    QString link;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        link = m_linkPath;
    }
    const QByteArray linkName = link.toLocal8Bit();
    if (!link.isEmpty() && isSymlink(linkName))
        ::unlink(linkName.constData());
}
