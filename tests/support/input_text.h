// Raw pen and key input as short text, for comparing in tests: "D25,33",
// "M3,4" and "U25,33" for the pen going down, moving and lifting, "K32" for
// a key press.
#pragma once

#include <string>

#include "platform/host/shell.h"

inline std::string InputText(const qoz::host::RawInput& input) {
    using qoz::host::PenAction;
    if (input.kind == qoz::host::RawInput::Kind::Key) return "K" + std::to_string(input.virtualKey);
    const char* action = input.pen == PenAction::Down   ? "D"
                         : input.pen == PenAction::Move ? "M"
                                                        : "U";
    return action + std::to_string(input.x) + "," + std::to_string(input.y);
}
