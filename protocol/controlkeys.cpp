#include "protocol/controlkeys.h"

namespace ControlKeys {

const std::array<Key, 31> keys = {{
    {Menu, MenuGroup, "MENU", "Menu"},
    {MenuUp, MenuGroup, "UP", "Up"},
    {MenuDown, MenuGroup, "DOWN", "Down"},
    {MenuEnter, MenuGroup, "ENTER", "Enter"},
    {InputBase + 0, InputGroup, "SDI1", "SDI1"},
    {InputBase + 1, InputGroup, "SDI2", "SDI2"},
    {InputBase + 2, InputGroup, "YPbPr", "YPbPr"},
    {InputBase + 3, InputGroup, "CVBS", "CVBS"},
    {InputBase + 4, InputGroup, "DVI", "DVI"},
    {FunctionBase + 0, FunctionGroup, "F1", "F1"},
    {FunctionBase + 1, FunctionGroup, "F2", "F2"},
    {FunctionBase + 2, FunctionGroup, "F3", "F3"},
    {FunctionBase + 3, FunctionGroup, "F4", "F4"},
    {FunctionBase + 4, FunctionGroup, "F5", "F5"},
    {RotaryPushBase + 0, PushGroup, "PUSH1", "PUSH"},
    {RotaryPushBase + 1, PushGroup, "PUSH2", "PUSH"},
    {RotaryPushBase + 2, PushGroup, "PUSH3", "PUSH"},
    {RotaryPushBase + 3, PushGroup, "PUSH4", "PUSH"},
    {RotaryPushBase + 4, PushGroup, "PUSH5", "PUSH"},
    {RotaryCwBase + 0, CwGroup, "CW1", "CW"},
    {RotaryCwBase + 1, CwGroup, "CW2", "CW"},
    {RotaryCwBase + 2, CwGroup, "CW3", "CW"},
    {RotaryCwBase + 3, CwGroup, "CW4", "CW"},
    {RotaryCwBase + 4, CwGroup, "CW5", "CW"},
    {RotaryCcwBase + 0, CcwGroup, "CCW1", "CCW"},
    {RotaryCcwBase + 1, CcwGroup, "CCW2", "CCW"},
    {RotaryCcwBase + 2, CcwGroup, "CCW3", "CCW"},
    {RotaryCcwBase + 3, CcwGroup, "CCW4", "CCW"},
    {RotaryCcwBase + 4, CcwGroup, "CCW5", "CCW"},
    {PowerOn, PowerGroup, "ON", "Power"},
    {PowerOff, PowerGroup, "OFF", "Power"},
}};

std::optional<quint8> codeForScriptName(const QString &name)
{
    for (const Key &key : keys) {
        if (name == QLatin1String(key.scriptName))
            return key.code;
    }
    return std::nullopt;
}

} // namespace ControlKeys
