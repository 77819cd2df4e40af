#ifndef CONTROLKEYS_H
#define CONTROLKEYS_H

#include <QString>

#include <array>
#include <optional>

// The front-panel key codes a ControlCmd carries. This is the one table that
// the detail window, batch power and the script runner all use.
namespace ControlKeys {

enum Code : quint8 {
    InputBase = 0x80,      // + input index: SDI1, SDI2, YPbPr, CVBS, DVI
    FunctionBase = 0x88,   // + function key index 0-4 (F1-F5)
    Menu = 0x90,
    MenuUp = 0x91,
    MenuDown = 0x92,
    MenuEnter = 0x93,
    RotaryPushBase = 0x98, // + rotary index: hue, chroma, bright, contrast, volume
    RotaryCwBase = 0xA0,
    RotaryCcwBase = 0xA8,
    PowerOff = 0xFE,
    PowerOn = 0xFF,
};

enum Group { InputGroup, FunctionGroup, MenuGroup, PushGroup, CwGroup, CcwGroup, PowerGroup };

struct Key {
    quint8 code;
    Group group;
    const char *scriptName; // case-sensitive keyword of test scripts
    const char *caption;    // caption of the detail window's button
};

inline constexpr int InputCount = 5;
inline constexpr int FunctionKeyCount = 5;
inline constexpr int RotaryCount = 5;

// Every key, in the order of the detail window's key buttons (power last).
extern const std::array<Key, 31> keys;

// The code of a script keyword ("MENU", "CW3", "YPbPr"...), matched exactly.
std::optional<quint8> codeForScriptName(const QString &name);

} // namespace ControlKeys

#endif // CONTROLKEYS_H
