// Shared by the window-system tests: a recording window procedure, a
// scripted input source, the program's window layout and screen pixels.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "platform/host/screen.h"
#include "platform/host/screen_input.h"
#include "platform/host/user32/window_system.h"
#include "platform/platform.h"

struct LoggedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<LoggedMessage> messageLog;
// What the recording procedure does with WM_PAINT; the default validates.
inline std::function<void(HWND)> paintHandler;

inline LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    messageLog.push_back({window, message, wParam, lParam});
    if (message == WM_PAINT && paintHandler) {
        paintHandler(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

inline std::vector<UINT> LoggedMessagesFor(HWND window) {
    std::vector<UINT> result;
    for (const LoggedMessage& each : messageLog)
        if (each.window == window) result.push_back(each.message);
    return result;
}

// Input that has "arrived" is handed out by PollInput; the rest only when
// the program waits.
class ScriptedInput : public qoz::host::InputSource {
public:
    std::deque<qoz::host::RawInput> arrived;
    std::deque<qoz::host::RawInput> later;
    int waits = 0;

    std::optional<qoz::host::RawInput> PollInput() override { return Take(arrived); }
    std::optional<qoz::host::RawInput> WaitInput() override {
        ++waits;
        return Take(later);
    }

private:
    static std::optional<qoz::host::RawInput> Take(std::deque<qoz::host::RawInput>& from) {
        if (from.empty()) return std::nullopt;
        qoz::host::RawInput input = from.front();
        from.pop_front();
        return input;
    }
};

inline uint32_t PixelAt(int x, int y) {
    return qoz::host::ScreenPixels()[size_t(y) * size_t(qoz::host::ScreenWidth()) + size_t(x)];
}

inline constexpr uint32_t kBlackPixel = 0x000000;
inline constexpr uint32_t kWhitePixel = 0xFFFFFF;

using Pixels = std::set<std::pair<int, int>>;

inline Pixels BlackPixelsIn(int left, int top, int right, int bottom) {
    Pixels found;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (PixelAt(x, y) == kBlackPixel) found.insert({x, y});
    return found;
}

// Repaints the window at once, running draw between BeginPaint and EndPaint.
inline void PaintNow(HWND window, BOOL erase, std::function<void(HDC, PAINTSTRUCT&)> draw) {
    paintHandler = [&](HWND painted) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(painted, &paint);
        draw(dc, paint);
        EndPaint(painted, &paint);
    };
    InvalidateRect(window, nullptr, erase);
    UpdateWindow(window);
    paintHandler = nullptr;
}

// The program's windows: a bordered 240 x 320 topmost main window of the
// empty class name and three buttons along its top edge.
struct ProgramWindows {
    HWND main = nullptr;
    HWND erase = nullptr;
    HWND exit = nullptr;
    HWND calibrate = nullptr;
};

inline constexpr int kEraseId = 0x8801;
inline constexpr int kExitId = 0x8802;
inline constexpr int kCalibrateId = 0x8803;

inline void RegisterRecordingClass(LPCWSTR name) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
}

inline HWND CreateButton(HWND parent, LPCWSTR caption, int id, int x, int width) {
    return CreateWindowExW(0, u"button", caption, WS_CHILD | WS_VISIBLE, x, 1, width, 30, parent,
                           reinterpret_cast<HMENU>(uintptr_t(id)), nullptr, nullptr);
}

inline ProgramWindows CreateProgramWindows() {
    RegisterRecordingClass(u"");
    ProgramWindows windows;
    windows.main = CreateWindowExW(0, u"", u"펜입력", WS_VISIBLE | WS_BORDER, 0, 0, CW_USEDEFAULT,
                                   CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    SetWindowPos(windows.main, HWND_TOPMOST, 0, 0, 240, 320, 0);
    windows.erase = CreateButton(windows.main, u"삭제", kEraseId, 100, 30);
    windows.exit = CreateButton(windows.main, u"종료", kExitId, 130, 30);
    windows.calibrate = CreateButton(windows.main, u"Calibration", kCalibrateId, 160, 80);
    return windows;
}

// Runs the loop until it has nothing left to do: no queued message, no
// pending repaint and no more input.
inline int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return int(message.wParam);
}

class WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        qoz::host::ResetWindowSystemForTesting();
        messageLog.clear();
        paintHandler = nullptr;
    }
    void TearDown() override { qoz::host::ResetWindowSystemForTesting(); }
};
