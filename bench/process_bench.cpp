// Whole simulator processes, timed from spawn to exit: start-up to the first
// paint (a script with nothing in it: the program starts, paints, finds no
// input and ends), also of an earlier build given with --baseline_simulator,
// a whole calibration on the virtual clock, and their baseline, a process
// that only starts and exits. Each start-up also gives its peak memory.
#include "bench/baseline.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench/summary.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/scratch_folder.h"

namespace {

// A desktop session gives its user a runtime folder on tmpfs, where the
// named events live. A machine without one (a build server) keeps them in
// the state folder on disk, which costs a start-up about 0.7 ms more here:
// the simulator is timed as a desktop user starts it, in a runtime folder of
// the benchmark's own when none is set.
class SessionRuntimeFolder {
public:
    SessionRuntimeFolder() {
        if (getenv("XDG_RUNTIME_DIR") != nullptr) return;
        folder_ = MakeScratchFolder("runtime", ScratchPlace::Memory);
        if (!folder_.empty()) setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    }
    ~SessionRuntimeFolder() {
        if (folder_.empty()) return;
        unsetenv("XDG_RUNTIME_DIR");
        RemoveScratchFolder(folder_);
    }
    SessionRuntimeFolder(const SessionRuntimeFolder&) = delete;
    SessionRuntimeFolder& operator=(const SessionRuntimeFolder&) = delete;

private:
    std::filesystem::path folder_;
};

// Runs the program with its output thrown away; the exit status, or -1.
int RunProcess(const std::vector<std::string>& arguments, long* peakKilobytes = nullptr) {
    ChildProcess child = StartChild({.argv = arguments});
    int status = WaitChild(child, std::chrono::seconds(60));
    if (peakKilobytes != nullptr) *peakKilobytes = child.peakKilobytes;
    return status;
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
                                      const std::string& script,
                                      const std::string& simulator = QOZCAL_SIMULATOR_PATH) {
    return {simulator,
            "--headless",
            "--virtual-time",
            "--script",
            script,
            "--registry",
            scratch.registryPath().string(),
            "--debug-log",
            scratch.debugLogPath().string()};
}

// The counter peak_MB is the median of the runs' largest resident sets.
void TimeRuns(benchmark::State& state, const std::vector<std::string>& arguments) {
    std::vector<double> peakMegabytes;
    for (auto _ : state) {
        long peakKilobytes = 0;
        if (RunProcess(arguments, &peakKilobytes) != 0) {
            state.SkipWithError("the process failed");
            return;
        }
        peakMegabytes.push_back(double(peakKilobytes) / 1024);
    }
    if (!peakMegabytes.empty()) state.counters["peak_MB"] = qoz::bench::Median(peakMegabytes);
}

void BM_ProcessStartAndExit(benchmark::State& state) { TimeRuns(state, {"/bin/true"}); }
BENCHMARK(BM_ProcessStartAndExit)->UseRealTime()->MinTime(1.0);

// The settings key exists already (the first run made it), as on a device
// after its first start.
void TimeStartUp(benchmark::State& state, const std::string& simulator) {
    SessionRuntimeFolder runtime;
    ScratchEnvironment scratch;
    std::vector<std::string> run =
        SimulatorRun(scratch, scratch.writeFile("empty.pen", ""), simulator);
    if (RunProcess(run) != 0) {
        state.SkipWithError("the simulator did not run");
        return;
    }
    TimeRuns(state, run);
}

void BM_StartUpToFirstPaint(benchmark::State& state) {
    TimeStartUp(state, QOZCAL_SIMULATOR_PATH);
}
BENCHMARK(BM_StartUpToFirstPaint)->UseRealTime()->MinTime(2.0);

void BM_WholeCalibration(benchmark::State& state) {
    SessionRuntimeFolder runtime;
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

namespace qoz::bench {

void AddBaselineStartUp(const std::string& simulator) {
    benchmark::RegisterBenchmark("BM_StartUpToFirstPaintBaseline",
                                 [simulator](benchmark::State& state) {
                                     TimeStartUp(state, simulator);
                                 })
        ->UseRealTime()
        ->MinTime(2.0);
}

}  // namespace qoz::bench
