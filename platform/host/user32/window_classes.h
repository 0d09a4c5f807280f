// The class table: the classes the program registered and the built-in
// "button" class. Class names are compared without regard to case; the
// empty name is a valid one.
#pragma once

#include <string>

#include "platform/platform.h"

namespace qoz::host {

struct WindowClass {
    std::u16string name;
    WNDPROC procedure = nullptr;
    HBRUSH background = nullptr;
    UINT style = 0;
};

// Null when no class has that name.
const WindowClass* FindWindowClass(LPCWSTR name);

void ResetWindowClasses();

}  // namespace qoz::host
