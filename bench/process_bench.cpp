// Whole simulator processes, timed from spawn to exit: start-up to the first
// paint (a script with nothing in it: the program starts, paints, finds no
// input and ends), a whole calibration on the virtual clock, and their
// baseline, a process that only starts and exits.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"

namespace {

// Runs the program with its output thrown away; the exit status, or -1.
int RunProcess(const std::vector<std::string>& arguments) {
    ChildProcess child = StartChild({.argv = arguments});
    return WaitChild(child, std::chrono::seconds(60));
}

// The example calibration without its screenshots.
std::string CalibrationWithoutShots() {
    std::istringstream lines(ReadWholeFile(QOZCAL_EXAMPLES_DIR "/calibration.pen"));
    std::string script;
    for (std::string line; std::getline(lines, line);) {
        size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line.compare(start, 5, "shot ") == 0) continue;
        script += line + "\n";
    }
    return script;
}

std::vector<std::string> SimulatorRun(const ScratchEnvironment& scratch,
                                      const std::string& script) {
    return {QOZCAL_SIMULATOR_PATH,
            "--headless",
            "--virtual-time",
            "--script",
            script,
            "--registry",
            scratch.registryPath().string(),
            "--debug-log",
            scratch.debugLogPath().string()};
}

void TimeRuns(benchmark::State& state, const std::vector<std::string>& arguments) {
    for (auto _ : state) {
        if (RunProcess(arguments) != 0) {
            state.SkipWithError("the process failed");
            return;
        }
    }
}

void BM_ProcessStartAndExit(benchmark::State& state) { TimeRuns(state, {"/bin/true"}); }
BENCHMARK(BM_ProcessStartAndExit)->UseRealTime()->MinTime(1.0);

// The settings key exists already (the first run made it), as on a device
// after its first start.
void BM_StartUpToFirstPaint(benchmark::State& state) {
    ScratchEnvironment scratch;
    std::vector<std::string> run = SimulatorRun(scratch, scratch.writeFile("empty.pen", ""));
    if (RunProcess(run) != 0) {
        state.SkipWithError("the simulator did not run");
        return;
    }
    TimeRuns(state, run);
}
BENCHMARK(BM_StartUpToFirstPaint)->UseRealTime()->MinTime(2.0);

void BM_WholeCalibration(benchmark::State& state) {
    ScratchEnvironment scratch;
    std::vector<std::string> run =
        SimulatorRun(scratch, scratch.writeFile("calibration.pen", CalibrationWithoutShots()));
    if (RunProcess(run) != 0 ||
        scratch.debugLog().find("Completes Calibration ..........r\n") == std::string::npos) {
        state.SkipWithError("the calibration did not complete");
        return;
    }
    TimeRuns(state, run);
}
BENCHMARK(BM_WholeCalibration)->UseRealTime()->MinTime(2.0);

}  // namespace
