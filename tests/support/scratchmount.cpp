#include "tests/support/scratchmount.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr char FillerName[] = ".filler";

} // namespace

ScratchMount::ScratchMount(const QString &path, int sizeKiB)
    : where(QDir(path).absolutePath()), options(QStringLiteral("size=%1k,mode=0755").arg(sizeKiB))
{
    if (!QDir().mkpath(where)) {
        why = QStringLiteral("cannot create %1").arg(where);
        return;
    }
    mounted = ::mount("kc-scratch", QFile::encodeName(where).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                      options.toLatin1().constData()) == 0;
    if (!mounted)
        why = QStringLiteral("cannot mount a tmpfs on %1 (%2): needs root").arg(where, QString::fromLocal8Bit(std::strerror(errno)));
}

ScratchMount::~ScratchMount()
{
    // Detached: a file still open in it, or a working directory in it, must
    // not keep it mounted.
    if (mounted)
        ::umount2(QFile::encodeName(where).constData(), MNT_DETACH);
    QDir().rmdir(where);
}

bool ScratchMount::setReadOnly(bool readOnly)
{
    return mounted
        && ::mount(nullptr, QFile::encodeName(where).constData(), nullptr,
                   MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0),
                   options.toLatin1().constData()) == 0;
}

bool ScratchMount::fill()
{
    QFile filler(QDir(where).filePath(QLatin1String(FillerName)));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'f');
    qint64 taken = 0;
    for (qint64 written; (written = filler.write(block)) > 0;)
        taken += written;
    // Whatever a page short of a block still holds.
    for (qint64 written; (written = filler.write(block.left(1))) > 0;)
        taken += written;
    return taken > 0;
}

bool ScratchMount::release()
{
    return QFile::remove(QDir(where).filePath(QLatin1String(FillerName)));
}
