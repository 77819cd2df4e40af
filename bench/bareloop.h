#ifndef BARELOOP_H
#define BARELOOP_H

#include "bench/benchresult.h"

#include <QList>
#include <QString>

// The floor: status polls written and read with nothing but termios, write
// and poll on the same pseudo-terminal the transport uses.
class BareLoop
{
public:
    // Polls the addresses in turn for about durationMs; false if the device
    // cannot be opened.
    static bool run(const QString &device, const QList<quint8> &addresses, int durationMs,
                    BenchResult *result);
};

#endif // BARELOOP_H
