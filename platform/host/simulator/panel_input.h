// Puts the simulated touch panel and the reference driver between the pen
// (a script's or the user's finger in the window) and the message loop: each
// pen position is where the finger physically is; the window gets what the
// driver makes of the panel's reading.
#pragma once

#include "platform/host/shell.h"
#include "platform/host/simulator/reference_driver.h"
#include "platform/host/simulator/touch_panel.h"

namespace qoz::sim {

class PanelInput final : public host::InputSource {
public:
    PanelInput(host::InputSource& finger, const PanelModel& panel, int screenWidth,
               int screenHeight)
        : finger_(finger),
          panel_(panel, screenWidth, screenHeight),
          driver_(screenWidth, screenHeight) {}

    std::optional<host::RawInput> PollInput() override { return Through(finger_.PollInput()); }
    std::optional<host::RawInput> WaitInput() override { return Through(finger_.WaitInput()); }

    // The reading behind the last pen report, and the panel and driver, for
    // a caller that measures them.
    PanelReading LastReading() const { return lastReading_; }
    TouchPanel& Panel() { return panel_; }
    ReferenceDriver& Driver() { return driver_; }

private:
    std::optional<host::RawInput> Through(std::optional<host::RawInput> input);

    host::InputSource& finger_;
    TouchPanel panel_;
    ReferenceDriver driver_;
    PanelReading lastReading_;
};

}  // namespace qoz::sim
