// The simulator's entry, shared by the headless qozcal and the qozcal-window
// program: the command line, the pen script, the simulated device and the
// input around the program, then the program itself.
#pragma once

#include "platform/host/simulator/window_input.h"

namespace qoz::sim {

// Runs the simulator as `main` would and returns its exit status. Without
// `openWindow` a run that needs a window is handed over to qozcal-window.
int SimulatorMain(int argc, char** argv, WindowOpener openWindow);

}  // namespace qoz::sim
