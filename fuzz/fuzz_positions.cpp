// The icon positions file: any file content must be either refused or read
// into a map that survives being written and read again unchanged.
#include "iconview/positionfile.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    PositionFile::Map positions;
    if (!PositionFile::read(&in, &positions))
        return 0;

    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    PositionFile::write(&out, positions);
    out.close();
    out.open(QIODevice::ReadOnly);
    PositionFile::Map again;
    if (!PositionFile::read(&out, &again) || again != positions)
        std::abort();
    return 0;
}
