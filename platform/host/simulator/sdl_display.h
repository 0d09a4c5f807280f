// The simulator's window: an SDL2 window that shows the simulated screen
// scaled up, and turns the mouse, touch and keyboard into pen and key input.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "platform/host/screen_input.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace qoz::sim {

class SdlDisplay final : public host::InputSource {
public:
    // Opens a window for the current screen size, or says why there is none.
    static std::unique_ptr<SdlDisplay> Open(int zoom, std::string& error);
    ~SdlDisplay() override;
    SdlDisplay(const SdlDisplay&) = delete;
    SdlDisplay& operator=(const SdlDisplay&) = delete;

    // The user's input that has arrived; never waits.
    std::optional<host::RawInput> PollInput() override;
    // Shows the screen and waits for the user, presenting about 60 times a
    // second. Empty once the window is closed.
    std::optional<host::RawInput> WaitInput() override;

    // Keeps the window alive while a script waits: true when the clock has
    // reached `dueMilliseconds`, false as soon as the user's input arrived or
    // the window was closed.
    bool PassTimeUntil(uint64_t dueMilliseconds);

    bool Closed() const { return closed_; }

private:
    explicit SdlDisplay(int zoom) : zoom_(zoom) {}

    // Takes the window's events; waits up to `timeoutMilliseconds` for one.
    void Pump(int timeoutMilliseconds);
    void Handle(const SDL_Event& event);
    void Present();
    void PresentIfDue();

    enum class PenHolder { None, Mouse, Finger };

    int zoom_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::deque<host::RawInput> pending_;
    bool closed_ = false;
    PenHolder penHolder_ = PenHolder::None;
    int64_t finger_ = 0;
    uint64_t lastPresent_ = 0;
};

}  // namespace qoz::sim
