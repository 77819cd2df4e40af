#ifndef SCRATCHMOUNT_H
#define SCRATCHMOUNT_H

#include <QString>

// A small file system of its own (tmpfs) mounted on a fresh directory, for
// the cases a plain directory cannot show when the tests run as root: a disk
// that fills up, a directory that even root cannot write. Needs the right to
// mount; isValid() says whether it got it, why not in error(). Unmounted,
// with everything in it gone, when the object goes.
class ScratchMount
{
public:
    // path: a directory to create and mount on; sizeKiB: the space it offers.
    ScratchMount(const QString &path, int sizeKiB);
    ~ScratchMount();
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    bool isValid() const { return mounted; }
    QString error() const { return why; }
    QString path() const { return where; }

    // Read-only from now on, or writable again; files stay as they are.
    bool setReadOnly(bool readOnly);
    // Takes all space that is left with one file beside the others; false
    // when nothing could be taken.
    bool fill();
    // Gives the space taken by fill() back.
    bool release();

private:
    QString where;
    QString options;
    QString why;
    bool mounted = false;
};

#endif // SCRATCHMOUNT_H
