#ifndef STARTUPSETTINGS_H
#define STARTUPSETTINGS_H

// Group "startup" of the settings file: what the window does by itself once
// it runs. Read at start-up; written by the options dialog.
namespace StartupSettings {

inline constexpr char Group[] = "startup";
// Search the bus at start-up, as F5 does. Off by default, also when the key
// is missing; only "true" or "1" (in any case) switch it on, so that a
// damaged value never starts a search nobody asked for. Written only once
// the operator sets it, so that a file is unchanged while the feature is
// unused.
inline constexpr char SearchKey[] = "search";

bool searchAtStart();
// True when the file holds the key at all.
bool searchStored();
void writeSearchAtStart(bool on);

} // namespace StartupSettings

#endif // STARTUPSETTINGS_H
