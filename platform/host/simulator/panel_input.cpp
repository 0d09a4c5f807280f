#include "platform/host/simulator/panel_input.h"

namespace qoz::sim {

std::optional<host::RawInput> PanelInput::Through(std::optional<host::RawInput> input) {
    if (!input || input->kind != host::RawInput::Kind::Pen) return input;
    // The program runs on this thread, so whatever it signalled while it
    // handled earlier input is already set: the driver acts on it before
    // this report.
    driver_.TakeEvents();
    lastReading_ = panel_.Read(input->x, input->y);
    POINT delivered = driver_.Deliver(lastReading_);
    input->x = int(delivered.x);
    input->y = int(delivered.y);
    return input;
}

}  // namespace qoz::sim
