// What a window procedure leaves to the system: a WM_PAINT it does not
// handle validates the pending repaint, as BeginPaint and EndPaint would.
#include "platform/platform.h"

// DefWindowProcW (user32)
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        if (BeginPaint(window, &paint)) EndPaint(window, &paint);
    }
    return 0;
}
