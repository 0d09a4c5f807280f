// What the simulator's shell (the entry, the display, the pen scripts) sees
// of the host's window system: the name a display shows as its title and the
// source of raw pen and key input that the message loop draws from.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace qoz::host {

// The name of the topmost shown top-level window, which a display shows as
// its title; empty while there is none.
std::u16string TopWindowName();

enum class PenAction { Down, Move, Up };

struct RawInput {
    enum class Kind { Pen, Key } kind = Kind::Pen;
    PenAction pen = PenAction::Down;
    int x = 0;  // screen pixels
    int y = 0;
    UINT virtualKey = 0;  // a key press: down then up

    static RawInput Pen(PenAction action, int x, int y) { return {Kind::Pen, action, x, y, 0}; }
    static RawInput Key(UINT virtualKey) { return {Kind::Key, PenAction::Down, 0, 0, virtualKey}; }
};

// Feeds the message loop. Raw input is routed to a window (the one under the
// pen, the captured one, the focused one) only when the loop takes it.
class InputSource {
public:
    virtual ~InputSource() = default;
    // Input that has already arrived, if any; never waits. GetMessageW asks
    // after it looks at the quit flag and before pending repaints.
    virtual std::optional<RawInput> PollInput() = 0;
    // Called when the program is idle (no message and no repaint pending):
    // waits for the next input. Empty when no more input will ever come; the
    // message loop then ends as on a quit with code 0.
    virtual std::optional<RawInput> WaitInput() = 0;
};

// Without a source, an idle GetMessageW ends the loop.
void SetInputSource(InputSource* source);

}  // namespace qoz::host
