#ifndef TALLYMAP_H
#define TALLYMAP_H

#include <QList>
#include <QMap>
#include <QPair>

// Which bus addresses a tally display (screen, index) reaches. On the
// configured screen index N is bus address N; single entries, on that
// screen or any other, can be pointed elsewhere. Whatever lands outside the
// bus's 1..126 reaches nothing, so an override to 0 silences a display.
class TallyMap
{
public:
    using Key = QPair<quint16, quint16>; // screen, index
    using Overrides = QMap<Key, int>;     // to a bus address

    static constexpr quint16 All = 0xFFFF; // as screen or index
    static constexpr int MinAddress = 1;
    static constexpr int MaxAddress = 126;

    explicit TallyMap(quint16 screen = 0, const Overrides &overrides = {});

    quint16 screen() const { return configured; }
    const Overrides &overrides() const { return table; }

    // Sorted, each address once. Screen All means every screen, index All
    // every display of the screen (or screens).
    QList<quint8> addresses(quint16 screen, quint16 index) const;
    // A TSL 3.1 address is an index on the configured screen.
    QList<quint8> addressesForTsl31(quint8 address) const;

private:
    // The bus address one display maps to, in range or not.
    int target(quint16 screen, quint16 index) const;
    void collect(quint16 screen, quint16 index, QList<bool> &hit) const;

    quint16 configured;
    Overrides table;
};

#endif // TALLYMAP_H
