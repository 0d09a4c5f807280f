// qozcal: the simulator. Headless it runs here; a run in a window is handed
// over to qozcal-window, so that this program loads no window library.
#include "platform/host/simulator/simulator_main.h"

int main(int argc, char** argv) { return qoz::sim::SimulatorMain(argc, argv, nullptr); }
