#include "platform/host/user32/input_routing.h"

#include "platform/host/user32/window_table.h"

namespace qoz::host {

namespace {

bool penDown = false;
POINT penPoint{0, 0};

// Key-message lParam: a repeat count of 1; a release also has the
// previous-state and transition bits.
constexpr LPARAM kKeyDownBits = 1;
constexpr LPARAM kKeyUpBits = LPARAM(0xC0000001u);

UINT PenMessage(PenAction action) {
    switch (action) {
        case PenAction::Down:
            return WM_LBUTTONDOWN;
        case PenAction::Move:
            return WM_MOUSEMOVE;
        case PenAction::Up:
            break;
    }
    return WM_LBUTTONUP;
}

// The captured window wherever the pen is, else the shown window whose
// client area is under it; borders and the desktop take nothing.
Window* PenTarget(int screenX, int screenY) {
    if (Window* captured = LookUpWindow(CaptureWindow())) return captured;
    ScreenHit hit = HitTest(screenX, screenY);
    return hit.client ? hit.window : nullptr;
}

std::vector<MSG> RoutePen(const RawInput& input) {
    if (input.pen == PenAction::Down) {
        penDown = true;
    } else {
        // A touch panel reports nothing while the pen is off it.
        if (!penDown) return {};
        if (input.pen == PenAction::Up) penDown = false;
    }
    penPoint = POINT{input.x, input.y};
    Window* target = PenTarget(input.x, input.y);
    if (!target) return {};
    POINT origin = ClientOrigin(*target);
    LPARAM position = MAKELPARAM(input.x - origin.x, input.y - origin.y);
    WPARAM buttons = input.pen == PenAction::Up ? 0 : MK_LBUTTON;
    return {MSG{target->handle, PenMessage(input.pen), buttons, position, 0, penPoint}};
}

std::vector<MSG> RouteKey(const RawInput& input) {
    HWND focus = FocusWindow();
    if (!LookUpWindow(focus)) return {};
    return {MSG{focus, WM_KEYDOWN, input.virtualKey, kKeyDownBits, 0, penPoint},
            MSG{focus, WM_KEYUP, input.virtualKey, kKeyUpBits, 0, penPoint}};
}

}  // namespace

std::vector<MSG> RouteRawInput(const RawInput& input) {
    if (input.kind == RawInput::Kind::Key) return RouteKey(input);
    return RoutePen(input);
}

void ResetInputRouting() {
    penDown = false;
    penPoint = POINT{0, 0};
}

}  // namespace qoz::host
