#ifndef TALLYSETTINGS_H
#define TALLYSETTINGS_H

#include "tally/allowlist.h"
#include "tally/tallymap.h"

#include <QString>

// Group "tally" of the settings file: which TSL inputs listen, where, for
// whom, and how their displays map to bus addresses. Listening is off and
// bound to the loopback address until the operator says otherwise. A value
// that cannot be read (not a number, a port outside 1..65535, a screen
// outside 0..65534, a flag that is neither true nor false, an address that
// is none) reads as its default; a map entry that cannot be read is left
// out. Read at every start of the inputs and never cached.
class TallySettings
{
public:
    static constexpr char Group[] = "tally";
    static constexpr char Tsl5Key[] = "tsl5";
    static constexpr char Tsl31Key[] = "tsl31";
    static constexpr char Tsl5PortKey[] = "tsl5port";
    static constexpr char Tsl31PortKey[] = "tsl31port";
    static constexpr char ScreenKey[] = "screen";
    static constexpr char BindKey[] = "bind";
    static constexpr char AllowKey[] = "allow";
    static constexpr char MapGroup[] = "map"; // map/<screen>.<index>=<bus address>

    static constexpr bool DefaultTsl5 = false;
    static constexpr bool DefaultTsl31 = false;
    static constexpr quint16 DefaultTsl5Port = 8900;
    static constexpr quint16 DefaultTsl31Port = 8901;
    static constexpr quint16 DefaultScreen = 0;
    static constexpr quint16 MaxScreen = 0xFFFE; // 0xFFFF addresses every screen
    static constexpr char DefaultBind[] = "127.0.0.1";

    TallySettings();

    static TallySettings read();
    // Stores every key of the group; map entries no longer held are removed.
    void write() const;

    TallyMap tallyMap() const { return TallyMap(screen, map); }
    AllowList allowList() const { return AllowList(allow); }

    bool tsl5;
    bool tsl31;
    quint16 tsl5Port;
    quint16 tsl31Port;
    quint16 screen;
    QString bind;
    QString allow;
    TallyMap::Overrides map;
};

#endif // TALLYSETTINGS_H
