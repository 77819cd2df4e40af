#ifndef ALARMSETTINGS_H
#define ALARMSETTINGS_H

#include <array>

// Group "alarm" of the settings file: one enable per alarm kind and the tone.
// Read at every use, so a change saved by the options dialog counts at once.
namespace AlarmSettings {

// In the order alarms are tested, tagged and drawn.
enum Kind { NoSignal, AudioMute, BlackField, BlueField, IreAlarm, RgbAlarm, KindCount };

enum Tone { ToneOff = 0, ToneOnce = 1, ToneContinue = 2 };

inline constexpr char Group[] = "alarm";
inline constexpr char ToneKey[] = "tone";
// Whether a lost or silent serial link sounds the alarm too.
inline constexpr char LinkKey[] = "link";

const char *key(Kind kind);
bool defaultEnabled(Kind kind);

bool isEnabled(Kind kind);
int tone(); // default ToneOnce
bool linkAlarmEnabled(); // default true

} // namespace AlarmSettings

#endif // ALARMSETTINGS_H
