// The simulator's window beside the window a Linux user would calibrate a
// touch screen with, `xinput_calibrator --fake`, each on an X server of its
// own (Xvfb): the time from starting the process until its window is mapped,
// the processor time and wakeups over a few idle seconds, and the peak
// resident memory of the whole run.
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/baseline.h"
#include "bench/summary.h"
#include "tests/support/child_process.h"
#include "tests/support/process_usage.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/x_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kSettle = 500ms;
constexpr auto kIdle = 3s;

// Sees top-level windows being mapped on the X screen as it happens.
class MapWatcher {
public:
    explicit MapWatcher(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
        if (display_ == nullptr) return;
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, False);
    }
    ~MapWatcher() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    MapWatcher(const MapWatcher&) = delete;
    MapWatcher& operator=(const MapWatcher&) = delete;

    bool Connected() const { return display_ != nullptr; }

    // Forgets the windows mapped so far.
    void Forget() { XSync(display_, True); }

    // When the next window was mapped; empty if none was within `patience`.
    std::optional<Clock::time_point> AwaitMap(std::chrono::milliseconds patience) {
        Clock::time_point deadline = Clock::now() + patience;
        for (;;) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == MapNotify) return Clock::now();
            }
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd connection{ConnectionNumber(display_), POLLIN, 0};
            poll(&connection, 1, int(left.count()));
        }
    }

private:
    Display* display_;
};

struct WindowRun {
    double secondsToMap = 0;
    ProcessUsage idle;
    long peakKilobytes = 0;
};

// One start of the program: until its window is mapped, a moment to settle,
// the idle seconds, then it is asked to end (SIGTERM) and reaped.
std::optional<WindowRun> RunWindow(const std::vector<std::string>& argv, const XvfbServer& server,
                                   MapWatcher& watcher, std::string& error) {
    watcher.Forget();
    ChildLaunch launch{.argv = argv, .setEnvironment = {{"DISPLAY", server.Display()}}};
    launch.unsetEnvironment = {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    ChildProcess child = StartChild(launch);
    std::optional<Clock::time_point> mapped = watcher.AwaitMap(20s);
    std::optional<ProcessUsage> before, after;
    if (mapped) {
        std::this_thread::sleep_for(kSettle);
        before = ReadProcessUsage(child.pid);
        std::this_thread::sleep_for(kIdle);
        after = ReadProcessUsage(child.pid);
    }
    bool endedByItself = ChildEnded(child);
    kill(child.pid, SIGTERM);
    WaitChild(child, 10s);
    if (!mapped || endedByItself || !before || !after) {
        error = !mapped ? "no window was mapped" : "the program ended by itself";
        return std::nullopt;
    }
    return WindowRun{std::chrono::duration<double>(*mapped - child.began).count(), *after - *before,
                     child.peakKilobytes};
}

void MeasureWindow(benchmark::State& state, const std::vector<std::string>& argv) {
    ScratchEnvironment scratch;
    XvfbServer server(scratch.dir() / "xvfb.err");
    if (!server.Running()) {
        state.SkipWithError(server.Error().c_str());
        return;
    }
    MapWatcher watcher(server.Display());
    std::string error;
    // The first start fills the file cache and the program's own caches;
    // every figure is taken from the starts after it.
    if (!watcher.Connected() || !RunWindow(argv, server, watcher, error)) {
        state.SkipWithError(watcher.Connected() ? error.c_str() : "cannot watch the X server");
        return;
    }
    std::vector<double> toMap, idleMilliseconds, wakeups, peakMegabytes;
    for (auto _ : state) {
        std::optional<WindowRun> run = RunWindow(argv, server, watcher, error);
        if (!run) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(run->secondsToMap);
        toMap.push_back(run->secondsToMap * 1e3);
        idleMilliseconds.push_back(double(run->idle.cpu.count()) / 1e3);
        wakeups.push_back(double(run->idle.wakeups));
        peakMegabytes.push_back(double(run->peakKilobytes) / 1024);
    }
    if (toMap.empty()) return;
    // Medians: a start that a busy machine delayed does not move them.
    state.counters["to_map_ms"] = qoz::bench::Median(toMap);
    state.counters["idle_cpu_ms"] = qoz::bench::Median(idleMilliseconds);
    state.counters["idle_wakeups"] = qoz::bench::Median(wakeups);
    state.counters["peak_MB"] = qoz::bench::Median(peakMegabytes);
}

void BM_WindowQozcal(benchmark::State& state) { MeasureWindow(state, {QOZCAL_SIMULATOR_PATH}); }
BENCHMARK(BM_WindowQozcal)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_WindowPeer(benchmark::State& state) {
    std::optional<std::string> peer = FindProgram("xinput_calibrator");
    if (!peer) {
        state.SkipWithError("xinput_calibrator is not installed (package xinput-calibrator)");
        return;
    }
    MeasureWindow(state, {*peer, "--fake"});
}
BENCHMARK(BM_WindowPeer)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

namespace qoz::bench {

void AddBaselineWindow(const std::string& simulator) {
    benchmark::RegisterBenchmark("BM_WindowQozcalBaseline",
                                 [simulator](benchmark::State& state) {
                                     MeasureWindow(state, {simulator});
                                 })
        ->UseManualTime()
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
}

}  // namespace qoz::bench
