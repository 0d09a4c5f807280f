// Shared by the window-system tests: a fixture with a fresh window system and
// message log, scripted input, the screen's pixels, and the program's own
// windows with the recording procedure.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>

#include "app/main_window.h"
#include "platform/host/gdi32/screen.h"
#include "platform/host/shell.h"
#include "platform/host/user32/window_system.h"
#include "platform/host/user32/window_table.h"
#include "platform/platform.h"
#include "tests/support/message_log.h"
#include "tests/support/pixels.h"
#include "tests/support/program_session.h"

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

// The colour of the screen where no window lies.
inline constexpr uint32_t desktop = qoz::host::kDesktopColour;

inline uint32_t PixelAt(int x, int y) {
    return qoz::host::ScreenPixels()[size_t(y) * size_t(qoz::host::ScreenWidth()) + size_t(x)];
}

inline PixelSet BlackPixelsIn(int left, int top, int right, int bottom) {
    PixelSet found;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (PixelAt(x, y) == black) found.insert({x, y});
    return found;
}

// Repaints the window at once, running draw between BeginPaint and EndPaint.
inline void PaintNow(HWND window, BOOL erase, const std::function<void(HDC, PAINTSTRUCT&)>& draw) {
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

// The program's main window class, with the recording procedure.
inline void RegisterRecordingClass() { RegisterMainWindowClass(nullptr, RecordingProcedure); }

// The program's windows, made by its own code, with the recording procedure.
struct ProgramWindows {
    HWND main = nullptr;
    HWND erase = nullptr;
    HWND exit = nullptr;
    HWND calibrate = nullptr;
};
inline ProgramWindows CreateProgramWindows() {
    RegisterRecordingClass();
    ProgramWindows windows;
    windows.main = CreateMainWindow(nullptr);
    CreateToolButtons(windows.main, nullptr);
    for (const qoz::host::Window* each : qoz::host::WindowsInCreationOrder()) {
        if (each->parent != windows.main) continue;
        if (each->id == ID_ERASE) windows.erase = each->handle;
        if (each->id == ID_EXIT) windows.exit = each->handle;
        if (each->id == ID_CALIBRATE) windows.calibrate = each->handle;
    }
    return windows;
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
