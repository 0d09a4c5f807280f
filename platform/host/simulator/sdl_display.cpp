#include "platform/host/simulator/sdl_display.h"

#include <SDL.h>
#include <stdlib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/common/utf16.h"
#include "platform/host/shell.h"
#include "platform/host/simulator/sdl_input_mapping.h"
#include "platform/host/simulator/x11_errors.h"
#include "platform/host/simulator/x11_title.h"

namespace qoz::sim {

namespace {

constexpr char kUntitled[] = "qozcal";
constexpr Uint32 kFailedWaitPauseMilliseconds = 100;

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Only a real display will do: left to itself, SDL falls back to drawing
// off screen, where nobody would see the window. SDL_VIDEODRIVER, when the
// user sets it, still decides.
std::string DisplayDrivers() {
    std::string drivers;
    if (IsSet("WAYLAND_DISPLAY")) drivers = "wayland";
    if (IsSet("DISPLAY")) drivers += drivers.empty() ? "x11" : ",x11";
    return drivers;
}

// The simulator takes keys as key presses, never as text, and has nothing to
// ask of the desktop. Left alone, SDL would connect to the session bus (or,
// where there is none, have libdbus start one for the X display), open the
// user's input method and have Xlib parse the locale's compose table, which
// is most of the processor time before the window appears. These variables
// are this process's own.
void LeaveOutServicesNotNeeded() {
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    setenv("XMODIFIERS", "@im=none", 1);
    setenv("XCOMPOSEFILE", "/dev/null", 1);
}

}  // namespace

std::unique_ptr<SdlDisplay> SdlDisplay::Open(int zoom, std::string& error) {
    std::string drivers = DisplayDrivers();
    if (drivers.empty()) {
        error = "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
        return nullptr;
    }
    if (!IsSet("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    // Touch is handled as touch; SDL must not also turn it into mouse events.
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    // The window's surface stays in memory the program can write: left to
    // itself SDL would put a texture behind it and load an OpenGL driver.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // A calibration utility has no business keeping the screen saver away.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    LeaveOutServicesNotNeeded();
    IgnoreErrorsAboutGoneWindows();
    // The quit signals stay blocked (the caller holds them) and come to a
    // thread of their own, which closes the window the way the user would:
    // SDL's own handlers only note a signal, which its wait for events can
    // miss for ever when it comes just before the wait.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        if (IsSet("DISPLAY")) error += std::string(" (DISPLAY=") + std::getenv("DISPLAY") + ")";
        if (IsSet("WAYLAND_DISPLAY"))
            error += std::string(" (WAYLAND_DISPLAY=") + std::getenv("WAYLAND_DISPLAY") + ")";
        SDL_Quit();
        return nullptr;
    }
    host::TakeQuitSignalsOnAThread([] {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    });
    // Keys are taken as key presses, never as text: no input method is needed.
    SDL_StopTextInput();
    std::unique_ptr<SdlDisplay> display(new SdlDisplay(zoom));
    int width = host::ScreenWidth() * zoom, height = host::ScreenHeight() * zoom;
    display->window_ = SDL_CreateWindow(kUntitled, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                        width, height, SDL_WINDOW_HIDDEN);
    if (display->window_ == nullptr || SDL_GetWindowSurface(display->window_) == nullptr) {
        error = SDL_GetError();
        return nullptr;
    }
    return display;
}

std::unique_ptr<WindowInput> OpenSdlWindow(int zoom, std::string& error) {
    return SdlDisplay::Open(zoom, error);
}

SdlDisplay::~SdlDisplay() {
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    SDL_Quit();
}

std::optional<host::RawInput> SdlDisplay::PollInput() {
    Pump(0);
    if (pending_.empty()) return std::nullopt;
    host::RawInput input = pending_.front();
    pending_.pop_front();
    return input;
}

std::optional<host::RawInput> SdlDisplay::WaitInput() {
    for (;;) {
        if (auto input = PollInput()) return input;
        if (closed_) return std::nullopt;
        ShowScreenIfChanged();
        Pump(-1);
    }
}

bool SdlDisplay::PassTimeUntil(uint64_t dueMilliseconds) {
    for (;;) {
        Pump(0);
        if (closed_ || !pending_.empty()) return false;
        uint64_t now = host::NowMilliseconds();
        if (now >= dueMilliseconds) return true;
        if (host::UsingVirtualTime()) {
            host::WaitMilliseconds(dueMilliseconds - now);
            return true;
        }
        ShowScreenIfChanged();
        Pump(int(std::min<uint64_t>(dueMilliseconds - now, INT_MAX)));
    }
}

void SdlDisplay::Pump(int timeoutMilliseconds) {
    SDL_Event event;
    if (timeoutMilliseconds != 0) {
        bool forever = timeoutMilliseconds < 0;
        int arrived =
            forever ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, timeoutMilliseconds);
        // SDL reports a failed wait as no event; a short pause keeps a
        // display that keeps failing from spinning the processor.
        if (arrived == 0 && forever) SDL_Delay(kFailedWaitPauseMilliseconds);
        if (arrived == 0) return;
        Handle(event);
    }
    while (SDL_PollEvent(&event) != 0) Handle(event);
}

void SdlDisplay::Handle(const SDL_Event& event) {
    int width = host::ScreenWidth(), height = host::ScreenHeight();
    switch (event.type) {
        case SDL_QUIT:
            closed_ = true;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) closed_ = true;
            // Uncovered or resized, the window needs its picture again; it
            // gets it once the program is idle.
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                redrawNeeded_ = true;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEMOTION: {
            bool isMotion = event.type == SDL_MOUSEMOTION;
            if (!isMotion && event.button.button != SDL_BUTTON_LEFT) break;
            int x = ScreenFromWindow(isMotion ? event.motion.x : event.button.x, zoom_, width);
            int y = ScreenFromWindow(isMotion ? event.motion.y : event.button.y, zoom_, height);
            if (event.type == SDL_MOUSEBUTTONDOWN && penHolder_ == PenHolder::None) {
                penHolder_ = PenHolder::Mouse;
                pending_.push_back(host::RawInput::Pen(host::PenAction::Down, x, y));
            } else if (penHolder_ == PenHolder::Mouse && isMotion) {
                pending_.push_back(host::RawInput::Pen(host::PenAction::Move, x, y));
            } else if (penHolder_ == PenHolder::Mouse && event.type == SDL_MOUSEBUTTONUP) {
                penHolder_ = PenHolder::None;
                pending_.push_back(host::RawInput::Pen(host::PenAction::Up, x, y));
            }
            break;
        }
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP: {
            int x = ScreenFromTouch(event.tfinger.x, width);
            int y = ScreenFromTouch(event.tfinger.y, height);
            if (event.type == SDL_FINGERDOWN && penHolder_ == PenHolder::None) {
                penHolder_ = PenHolder::Finger;
                finger_ = event.tfinger.fingerId;
                pending_.push_back(host::RawInput::Pen(host::PenAction::Down, x, y));
            } else if (penHolder_ == PenHolder::Finger && event.tfinger.fingerId == finger_) {
                bool up = event.type == SDL_FINGERUP;
                if (up) penHolder_ = PenHolder::None;
                if (up || event.type == SDL_FINGERMOTION)
                    pending_.push_back(host::RawInput::Pen(
                        up ? host::PenAction::Up : host::PenAction::Move, x, y));
            }
            break;
        }
        case SDL_KEYDOWN:
            if (event.key.repeat != 0) break;
            if (auto key = VirtualKeyFromSdl(event.key.keysym.sym))
                pending_.push_back(host::RawInput::Key(*key));
            break;
        default:
            break;
    }
}

void SdlDisplay::ShowScreenIfChanged() {
    if (redrawNeeded_ || host::ScreenVersion() != shownVersion_) ShowScreen();
}

void SdlDisplay::ShowScreen() {
    std::u16string title = host::TopWindowName();
    if (!mapped_ || title != shownTitle_) {
        std::string shown = title.empty() ? kUntitled : Utf16ToUtf8(title);
        SDL_SetWindowTitle(window_, shown.c_str());
        SetX11WindowName(window_, shown);
        shownTitle_ = title;
    }
    if (!mapped_) {
        SDL_ShowWindow(window_);
        mapped_ = true;
    }
    redrawNeeded_ = false;
    shownVersion_ = host::ScreenVersion();
    const std::vector<uint32_t>& pixels = host::ScreenPixels();
    int width = host::ScreenWidth(), height = host::ScreenHeight();
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (target == nullptr || pixels.size() != size_t(width) * size_t(height)) return;
    // The pixels are borrowed, not copied: the surface lives only for the blit.
    SDL_Surface* screen =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels.data()), width, height, 32,
                                           width * int(sizeof(uint32_t)), SDL_PIXELFORMAT_RGB888);
    if (screen == nullptr) return;
    SDL_Rect scaled{0, 0, width * zoom_, height * zoom_};
    SDL_BlitScaled(screen, nullptr, target, &scaled);
    SDL_FreeSurface(screen);
    SDL_UpdateWindowSurface(window_);
}

}  // namespace qoz::sim
