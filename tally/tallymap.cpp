#include "tally/tallymap.h"

TallyMap::TallyMap(quint16 screen, const Overrides &overrides) : configured(screen)
{
    // An entry keyed by the broadcast value could never be asked for.
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it) {
        if (it.key().first != All && it.key().second != All)
            table.insert(it.key(), it.value());
    }
}

int TallyMap::target(quint16 screen, quint16 index) const
{
    const auto it = table.constFind(Key(screen, index));
    if (it != table.cend())
        return it.value();
    return screen == configured ? int(index) : 0;
}

void TallyMap::collect(quint16 screen, quint16 index, QList<bool> &hit) const
{
    QList<quint16> indexes;
    if (index != All) {
        indexes << index;
    } else {
        if (screen == configured) {
            for (int i = MinAddress; i <= MaxAddress; ++i)
                indexes << quint16(i);
        }
        for (auto it = table.lowerBound(Key(screen, 0));
             it != table.cend() && it.key().first == screen; ++it)
            indexes << it.key().second;
    }
    for (quint16 i : indexes) {
        const int address = target(screen, i);
        if (address >= MinAddress && address <= MaxAddress)
            hit[address] = true;
    }
}

QList<quint8> TallyMap::addresses(quint16 screen, quint16 index) const
{
    QList<bool> hit(MaxAddress + 1, false);
    if (screen != All) {
        collect(screen, index, hit);
    } else {
        collect(configured, index, hit);
        quint16 previous = configured;
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            if (it.key().first != previous && it.key().first != configured)
                collect(it.key().first, index, hit);
            previous = it.key().first;
        }
    }
    QList<quint8> out;
    for (int a = MinAddress; a <= MaxAddress; ++a) {
        if (hit.at(a))
            out << quint8(a);
    }
    return out;
}

QList<quint8> TallyMap::addressesForTsl31(quint8 address) const
{
    return addresses(configured, address);
}
