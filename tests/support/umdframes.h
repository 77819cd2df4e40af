#ifndef UMDFRAMES_H
#define UMDFRAMES_H

#include <QStringList>

class SimBus;

// Each UMD frame the simulated bus received to this address since its trace
// was cleared, as "<lamp bits> <8 characters>"; a frame whose second copy
// of the text differs from the first says so. Address 0: every address,
// each frame prefixed "<address>:".
QStringList umdFrames(const SimBus &bus, quint8 address = 0);

#endif // UMDFRAMES_H
