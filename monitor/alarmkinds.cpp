#include "monitor/alarmkinds.h"

#include <QtGlobal>

namespace AlarmKinds {

// No signal, IRE and RGB are off unless the operator asks. Bits 0+1 together
// mean no signal and hide the black (bit 1) and blue (bit 0) field alarms.
const std::array<AlarmKind, KindCount> kinds = {{
    {"nosignal", false, 0x03, false, "[NO SIGNAL]", ":/icons/img/nosignal_alarm.png",
     QT_TRANSLATE_NOOP("OptionDlg", "No signal alarm"), {0, 0},
     QT_TRANSLATE_NOOP("MWindow", "No Signal"), {0, 0}},
    {"mute", true, 0x08, false, "[AUDIO MUTE]", ":/icons/img/mute_alarm.png",
     QT_TRANSLATE_NOOP("OptionDlg", "Audio mute alarm"), {1, 1},
     QT_TRANSLATE_NOOP("MWindow", "Audio Mute"), {0, 3}},
    {"black", true, 0x02, true, "[BLACK FIELD]", ":/icons/img/black_alarm.png",
     QT_TRANSLATE_NOOP("OptionDlg", "Black field alarm"), {1, 0},
     QT_TRANSLATE_NOOP("MWindow", "Black Field"), {0, 2}},
    {"blue", true, 0x01, true, "[BLUE FIELD]", ":/icons/img/blue_alarm.png",
     QT_TRANSLATE_NOOP("OptionDlg", "Blue field alarm"), {0, 1},
     QT_TRANSLATE_NOOP("MWindow", "Blue Field"), {0, 1}},
    {"ire", false, 0x04, false, "[IRE ALARM]", ":/icons/img/ire_alarm.png",
     QT_TRANSLATE_NOOP("OptionDlg", "IRE alarm"), {2, 0},
     QT_TRANSLATE_NOOP("MWindow", "IRE alarm"), {1, 0}},
    {"rgb", false, 0x10, false, "[RGB ALARM]", ":/icons/img/rgb_alarm.png",
     QT_TRANSLATE_NOOP("OptionDlg", "RGB alarm"), {2, 1},
     QT_TRANSLATE_NOOP("MWindow", "RGB alarm"), {1, 1}},
}};

const std::array<Kind, KindCount> shownOrder = {
    NoSignal, BlueField, BlackField, AudioMute, IreAlarm, RgbAlarm,
};

} // namespace AlarmKinds
