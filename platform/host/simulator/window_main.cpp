// qozcal-window: the simulator in an SDL window. The qozcal command starts it
// in its own place whenever a window is asked for.
#include "platform/host/simulator/sdl_display.h"
#include "platform/host/simulator/simulator_main.h"

int main(int argc, char** argv) {
    return qoz::sim::SimulatorMain(argc, argv, qoz::sim::OpenSdlWindow);
}
