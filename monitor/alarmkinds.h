#ifndef ALARMKINDS_H
#define ALARMKINDS_H

#include <QtGlobal>

#include <array>

// The alarm kinds a monitor reports in its alarm byte, each written once with
// everything the settings, the status tests and the views need to know.
namespace AlarmKinds {

// The order in which alarms are tested, tagged in the status text and drawn
// in the status image.
enum Kind { NoSignal, AudioMute, BlackField, BlueField, IreAlarm, RgbAlarm, KindCount };

struct Cell {
    int row;
    int column;
};

struct AlarmKind {
    const char *key;        // in group "alarm" of the settings file
    bool enabledByDefault;
    quint8 pattern;         // alarm-byte bits that must all be set
    bool hiddenByNoSignal;  // its bits are part of the no-signal pattern
    const char *tag;        // in the status text: "ALARM<[NO SIGNAL]...>"
    const char *icon;
    const char *optionCaption; // translated in the context "OptionDlg"
    Cell optionCell;           // in the options dialog's alarm group
    const char *detailCaption; // translated in the context "MWindow"
    Cell detailCell;           // in the detail window's alarm group
};

// Indexed by Kind.
extern const std::array<AlarmKind, KindCount> kinds;

// The order in which the options dialog and the detail window list their
// boxes; the detail window names its boxes "alarmBox<n>" after it.
extern const std::array<Kind, KindCount> shownOrder;

// A lost or silent serial link is no kind of the alarm byte, but the operator
// enables its alarm in the same settings group.
inline constexpr char LinkKey[] = "link";
inline constexpr bool LinkEnabledByDefault = true;

} // namespace AlarmKinds

#endif // ALARMKINDS_H
