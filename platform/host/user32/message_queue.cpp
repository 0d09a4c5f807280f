#include "platform/host/user32/message_queue.h"

#include <deque>

#include "platform/host/kernel32/clock.h"
#include "platform/host/posix/quit_signals.h"
#include "platform/host/user32/shell_seam.h"
#include "platform/host/user32/input_routing.h"
#include "platform/host/user32/update_region.h"
#include "platform/host/user32/window_table.h"

namespace qoz::host {

namespace {

// Input already routed to its windows, in arrival order. SendMessageW is a
// direct call and nothing but the quit is ever posted, so this is the whole
// queue apart from the quit flag.
std::deque<MSG> inputQueue;
InputSource* inputSource = nullptr;
bool quitPosted = false;
int quitCode = 0;
POINT lastPoint{0, 0};

DWORD Now() { return DWORD(NowMilliseconds()); }

// Queues the messages that routing one raw input makes.
void QueueInput(const RawInput& input) {
    for (MSG message : RouteRawInput(input)) {
        message.time = Now();
        lastPoint = message.pt;
        inputQueue.push_back(message);
    }
}

// Routes already-arrived input until some of it yields a message.
void PollUntilQueued() {
    while (inputQueue.empty() && inputSource) {
        std::optional<RawInput> input = inputSource->PollInput();
        if (!input) return;
        QueueInput(*input);
    }
}

BOOL Quit(MSG* message, int code) {
    *message = MSG{nullptr, WM_QUIT, WPARAM(code), 0, Now(), lastPoint};
    return FALSE;
}

}  // namespace

void SetInputSource(InputSource* source) { inputSource = source; }

void ResetMessageQueue() {
    inputQueue.clear();
    inputSource = nullptr;
    quitPosted = false;
    quitCode = 0;
    lastPoint = POINT{0, 0};
}

}  // namespace qoz::host

using namespace qoz::host;

// GetMessageW (user32)
BOOL GetMessageW(MSG* message, HWND, UINT, UINT) {
    if (!message) return -1;
    for (;;) {
        // As on Windows: the quit comes before any input, even input that
        // arrived before it was posted, which stays queued.
        if (quitPosted) {
            quitPosted = false;
            return Quit(message, quitCode);
        }
        // SIGTERM, SIGINT or SIGHUP: as when the input ends.
        if (QuitRequested()) return Quit(message, 0);
        PollUntilQueued();
        if (!inputQueue.empty()) {
            *message = inputQueue.front();
            inputQueue.pop_front();
            return TRUE;
        }
        if (Window* window = NextWindowToPaint()) {
            *message = MSG{window->handle, WM_PAINT, 0, 0, Now(), lastPoint};
            return TRUE;
        }
        std::optional<RawInput> input;
        if (inputSource) input = inputSource->WaitInput();
        if (!input) return Quit(message, 0);
        QueueInput(*input);
    }
}

// PostQuitMessage (user32)
void PostQuitMessage(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
}

// TranslateMessage (user32)
BOOL TranslateMessage(const MSG*) { return FALSE; }

// DispatchMessageW (user32)
LRESULT DispatchMessageW(const MSG* message) {
    if (!message) return 0;
    return SendMessageW(message->hwnd, message->message, message->wParam, message->lParam);
}

// SendMessageW (user32)
LRESULT SendMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = LookUpWindow(handle);
    if (!window || !window->procedure) return 0;
    return window->procedure(handle, message, wParam, lParam);
}

// LoadAcceleratorsW (user32)
HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR) { return nullptr; }

// TranslateAcceleratorW (user32)
int TranslateAcceleratorW(HWND, HACCEL, MSG*) { return 0; }
