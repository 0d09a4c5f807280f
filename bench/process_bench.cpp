// Whole simulator processes, timed from spawn to exit: start-up to the first
// paint (a script with nothing in it: the program starts, paints, finds no
// input and ends), a whole calibration on the virtual clock, and their
// baseline, a process that only starts and exits.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Runs the program with standard output thrown away; the exit status, or -1.
int RunProcess(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path WriteScript(const std::string& name, const std::string& text) {
    fs::path path = qoz::bench::ScratchFolder() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The example calibration without its screenshots.
std::string CalibrationWithoutShots() {
    std::istringstream lines(ReadText(QOZCAL_EXAMPLES_DIR "/calibration.pen"));
    std::string script;
    for (std::string line; std::getline(lines, line);) {
        size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line.compare(start, 5, "shot ") == 0) continue;
        script += line + "\n";
    }
    return script;
}

std::vector<std::string> SimulatorRun(const fs::path& script, const fs::path& debugLog) {
    const fs::path& folder = qoz::bench::ScratchFolder();
    return {QOZCAL_SIMULATOR_PATH, "--headless",          "--virtual-time",
            "--script",            script.string(),       "--registry",
            (folder / "processes.reg").string(), "--debug-log", debugLog.string()};
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
    fs::path log = qoz::bench::ScratchFolder() / "start-up.log";
    std::vector<std::string> run = SimulatorRun(WriteScript("empty.pen", ""), log);
    if (RunProcess(run) != 0) {
        state.SkipWithError("the simulator did not run");
        return;
    }
    TimeRuns(state, run);
}
BENCHMARK(BM_StartUpToFirstPaint)->UseRealTime()->MinTime(2.0);

void BM_WholeCalibration(benchmark::State& state) {
    fs::path log = qoz::bench::ScratchFolder() / "calibration.log";
    std::vector<std::string> run =
        SimulatorRun(WriteScript("calibration.pen", CalibrationWithoutShots()), log);
    fs::remove(log);
    if (RunProcess(run) != 0 ||
        ReadText(log).find("Completes Calibration ..........r\n") == std::string::npos) {
        state.SkipWithError("the calibration did not complete");
        return;
    }
    TimeRuns(state, run);
}
BENCHMARK(BM_WholeCalibration)->UseRealTime()->MinTime(2.0);

}  // namespace
