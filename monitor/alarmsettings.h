#ifndef ALARMSETTINGS_H
#define ALARMSETTINGS_H

#include "monitor/alarmkinds.h"

#include <array>

// Group "alarm" of the settings file: one enable per alarm kind, the link
// alarm, the tone and how long an acknowledgement lasts. Keys and defaults are those of AlarmKinds. Read at
// every use, so a change saved by the options dialog counts at once.
namespace AlarmSettings {

using AlarmKinds::Kind;

enum Tone { ToneOff = 0, ToneOnce = 1, ToneContinue = 2 };

inline constexpr char Group[] = "alarm";
inline constexpr char ToneKey[] = "tone";
// How long an acknowledgement of alarms lasts, in minutes: 0 (the default,
// also when the key is missing) until the alarm clears, else 1 to
// MaxAckMinutes. A larger number reads as MaxAckMinutes, so that it still
// runs out; a negative one, or one that is no whole number, reads as 0.
// Written only once the operator sets it, so that a file is unchanged while
// the feature is unused.
inline constexpr char AckMinutesKey[] = "ackminutes";
inline constexpr int MaxAckMinutes = 60;

bool isEnabled(Kind kind);
// Every kind's enable from one reading of the file, indexed by Kind: for
// tests over many monitors at once, which would otherwise open the file for
// each monitor and kind.
using Enables = std::array<bool, AlarmKinds::KindCount>;
Enables enabledKinds();
int tone(); // a Tone; ToneOnce when missing or not one of them
bool linkAlarmEnabled();
int ackMinutes();

} // namespace AlarmSettings

#endif // ALARMSETTINGS_H
