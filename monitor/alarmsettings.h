#ifndef ALARMSETTINGS_H
#define ALARMSETTINGS_H

#include "monitor/alarmkinds.h"

#include <array>

// Group "alarm" of the settings file: one enable per alarm kind, the link
// alarm and the tone. Keys and defaults are those of AlarmKinds. Read at
// every use, so a change saved by the options dialog counts at once.
namespace AlarmSettings {

using AlarmKinds::Kind;

enum Tone { ToneOff = 0, ToneOnce = 1, ToneContinue = 2 };

inline constexpr char Group[] = "alarm";
inline constexpr char ToneKey[] = "tone";

bool isEnabled(Kind kind);
// Every kind's enable from one reading of the file, indexed by Kind: for
// tests over many monitors at once, which would otherwise open the file for
// each monitor and kind.
using Enables = std::array<bool, AlarmKinds::KindCount>;
Enables enabledKinds();
int tone(); // a Tone; ToneOnce when missing or not one of them
bool linkAlarmEnabled();

} // namespace AlarmSettings

#endif // ALARMSETTINGS_H
