#ifndef SIMDEMO_H
#define SIMDEMO_H

#include <QString>

// The bus played when the simulator is started without a story of its own:
// a dozen monitors in mixed states, for trying out the controller.
class SimDemo
{
public:
    static QString script();
};

#endif // SIMDEMO_H
