// The simulator's window: an SDL2 window that shows the simulated screen
// scaled up, and turns the mouse, touch and keyboard into pen and key input.
// It draws in software into the window's own surface (no OpenGL), only when
// the screen has changed or the window was uncovered, and otherwise sleeps
// until the window system has an event for it.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "platform/host/simulator/window_input.h"

struct SDL_Window;
union SDL_Event;

namespace qoz::sim {

class SdlDisplay final : public WindowInput {
public:
    // Connects to the display and makes a window for the current screen
    // size, or says why there is none. The window appears with the first
    // picture of the screen.
    static std::unique_ptr<SdlDisplay> Open(int zoom, std::string& error);
    ~SdlDisplay() override;
    SdlDisplay(const SdlDisplay&) = delete;
    SdlDisplay& operator=(const SdlDisplay&) = delete;

    // The user's input that has arrived; never waits.
    std::optional<host::RawInput> PollInput() override;
    // Shows the screen if it changed and sleeps until the user's input
    // arrives. Empty once the window is closed.
    std::optional<host::RawInput> WaitInput() override;

    // Keeps the window alive while a script waits: true when the clock has
    // reached `dueMilliseconds`, false as soon as the user's input arrived or
    // the window was closed.
    bool PassTimeUntil(uint64_t dueMilliseconds) override;

    bool Closed() const override { return closed_; }

private:
    explicit SdlDisplay(int zoom) : zoom_(zoom) {}

    // Takes the window's events; waits up to `timeoutMilliseconds` for one
    // (a negative time-out: as long as it takes).
    void Pump(int timeoutMilliseconds);
    void Handle(const SDL_Event& event);
    // Called when the program is idle: brings the window up to date.
    void ShowScreenIfChanged();
    void ShowScreen();

    enum class PenHolder { None, Mouse, Finger };

    int zoom_;
    SDL_Window* window_ = nullptr;
    bool mapped_ = false;
    bool redrawNeeded_ = true;
    uint64_t shownVersion_ = 0;
    std::u16string shownTitle_;
    std::deque<host::RawInput> pending_;
    bool closed_ = false;
    PenHolder penHolder_ = PenHolder::None;
    int64_t finger_ = 0;
};

// SdlDisplay::Open as a WindowOpener.
std::unique_ptr<WindowInput> OpenSdlWindow(int zoom, std::string& error);

}  // namespace qoz::sim
