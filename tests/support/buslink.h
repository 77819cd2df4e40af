#ifndef BUSLINK_H
#define BUSLINK_H

#include <QString>

class SimBus;

// Keeps a symbolic link "bus" in dir pointing at the bus's device, also
// across vanish and reappear, as a by-id name follows an adapter; returns
// the link's path. A link that cannot be made ends the test run.
QString linkBus(SimBus &bus, const QString &dir);

#endif // BUSLINK_H
