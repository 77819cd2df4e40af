#ifndef UMDSTATE_H
#define UMDSTATE_H

#include <QByteArray>

// What one monitor's UMD shows: up to 8 Latin-1 characters and the tally
// lamps (bit 0 red, bit 1 green).
struct UmdState
{
    QByteArray text;
    quint8 tally = 0;

    bool operator==(const UmdState &other) const { return text == other.text && tally == other.tally; }
    bool operator!=(const UmdState &other) const { return !(*this == other); }
};

#endif // UMDSTATE_H
