#include "platform/host/user32/window_classes.h"

#include <vector>

#include "platform/host/posix/case_fold.h"
#include "platform/host/user32/push_button.h"

namespace qoz::host {

namespace {

constexpr ATOM kFirstAtom = 0xC000;

std::vector<WindowClass> registered;

const WindowClass* FindIn(const std::vector<WindowClass>& classes, const std::u16string& folded) {
    for (const WindowClass& each : classes)
        if (FoldCase(each.name) == folded) return &each;
    return nullptr;
}

const std::vector<WindowClass>& BuiltInClasses() {
    static const std::vector<WindowClass> classes{
        WindowClass{u"button", PushButtonProcedure,
                    static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), CS_HREDRAW | CS_VREDRAW},
    };
    return classes;
}

}  // namespace

const WindowClass* FindWindowClass(LPCWSTR name) {
    if (!name) return nullptr;
    std::u16string folded = FoldCase(name);
    if (const WindowClass* own = FindIn(registered, folded)) return own;
    return FindIn(BuiltInClasses(), folded);
}

void ResetWindowClasses() { registered.clear(); }

}  // namespace qoz::host

using namespace qoz::host;

// RegisterClassW (user32)
ATOM RegisterClassW(const WNDCLASSW* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) return 0;
    std::u16string name = windowClass->lpszClassName;
    std::u16string folded = FoldCase(name);
    for (const WindowClass& each : registered)
        if (FoldCase(each.name) == folded) return 0;
    registered.push_back(WindowClass{name, windowClass->lpfnWndProc, windowClass->hbrBackground,
                                     windowClass->style});
    return ATOM(kFirstAtom + registered.size() - 1);
}
