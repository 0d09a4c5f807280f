#include "platform/host/user32/push_button.h"

#include "platform/host/gdi32/caption_font.h"
#include "platform/host/gdi32/device_context.h"
#include "platform/host/gdi32/stock_objects.h"
#include "platform/host/user32/window_table.h"

namespace qoz::host {

namespace {

// Window::controlState of a button: whether it looks pushed in.
constexpr int kPushed = 1;

bool IsPushed(const Window& button) { return (button.controlState & kPushed) != 0; }

void SetPushed(Window& button, bool pushed) {
    if (IsPushed(button) == pushed) return;
    button.controlState =
        pushed ? (button.controlState | kPushed) : (button.controlState & ~kPushed);
    InvalidateRect(button.handle, nullptr, FALSE);
    UpdateWindow(button.handle);
}

// Pen positions are client coordinates, negative ones too while captured.
bool IsOver(const Window& button, LPARAM position) {
    LONG x = int16_t(LOWORD(position));
    LONG y = int16_t(HIWORD(position));
    return RectContains(ClientRect(button), x, y);
}

void Click(const Window& button) {
    SendMessageW(button.parent, WM_COMMAND, MAKEWPARAM(button.id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button.handle));
}

void PaintButton(HWND handle) {
    const Window* button = LookUpWindow(handle);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(handle, &paint);
    if (!dc || !button) return;
    const RECT client = ClientRect(*button);
    const LONG width = client.right;
    const LONG height = client.bottom;
    const uint32_t face = IsPushed(*button) ? kBlack : kWhite;
    const uint32_t ink = IsPushed(*button) ? kWhite : kBlack;
    FillDcRect(dc, client, kBlack);
    FillDcRect(dc, RECT{1, 1, width - 1, height - 1}, face);

    if (std::optional<CaptionImage> caption = RenderCaption(button->text, width - 2, height - 2)) {
        const int left = (width - caption->width) / 2;
        const int top = (height - caption->height) / 2;
        for (int y = 0; y < caption->height; ++y)
            for (int x = 0; x < caption->width; ++x)
                if (uint8_t cell = caption->coverage[size_t(y) * size_t(caption->width) + size_t(x)])
                    BlendDcPixel(dc, left + x, top + y, ink, cell);
    }
    EndPaint(handle, &paint);
}

}  // namespace

LRESULT CALLBACK PushButtonProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* button = LookUpWindow(handle);
    if (!button) return 0;
    switch (message) {
        case WM_LBUTTONDOWN:
            SetCaptureWindow(handle);
            SetFocusWindow(handle);
            SetPushed(*button, true);
            return 0;
        case WM_MOUSEMOVE:
            if (CaptureWindow() == handle) SetPushed(*button, IsOver(*button, lParam));
            return 0;
        case WM_LBUTTONUP:
            if (CaptureWindow() != handle) return 0;
            SetCaptureWindow(nullptr);
            SetPushed(*button, false);
            if (IsOver(*button, lParam)) Click(*button);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) SetPushed(*button, true);
            return 0;
        case WM_KEYUP:
            if (wParam != VK_SPACE) return 0;
            SetPushed(*button, false);
            Click(*button);
            return 0;
        case WM_PAINT:
            PaintButton(handle);
            return 0;
        default:
            return DefWindowProcW(handle, message, wParam, lParam);
    }
}

}  // namespace qoz::host
