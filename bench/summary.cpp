#include "bench/summary.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace qoz::bench {

namespace {

struct Figure {
    const char* benchmark;
    const char* what;
    const char* baseline;
    // At most this many seconds, or at most `relativeLimit` times the
    // figure of `relativeTo`; neither: no target.
    double absoluteLimit = 0;
    const char* relativeTo = nullptr;
    double relativeLimit = 0;
    const char* relativeWhat = "start-up";
};

constexpr const char* kMessage = "BM_EmptyMessageRoundTrip";
constexpr const char* kProcess = "BM_ProcessStartAndExit";

// A 200 Hz panel reports every 5 ms; a move may take 1 % of that.
const Figure kFigures[] = {
    {"BM_PenMoveInFullStroke", "pen move, 255-point stroke, repaint", kMessage, 50e-6},
    {"BM_PenMoveInFullFastStroke", "  same, a fast stroke (20 px a move)", kMessage, 50e-6},
    {"BM_PenMoveInFullStrokeAcrossThePad", "  same, every move across the pad", kMessage},
    {"BM_CalibrationTap", "calibration tap (taps 1 to 4)", kMessage},
    {"BM_SettingsWrite", "settings write", kMessage},
    {"BM_StartUpToFirstPaint", "start-up to first paint (process)", kProcess, 0, kProcess, 3,
     "a bare process"},
    {"BM_StartUpToFirstPaintBaseline", "  same, the baseline build", kProcess},
    {"BM_WholeCalibration", "whole calibration (process)", kProcess, 0, "BM_StartUpToFirstPaint",
     2},
};

constexpr const char* kWindow = "BM_WindowQozcal";
constexpr const char* kPeerWindow = "BM_WindowPeer";

struct WindowFigure {
    const char* what;
    const char* counter;
    const char* unit;
    // Below `relativeLimit` times the peer's, or below `absoluteLimit`.
    double relativeLimit = 0;
    double absoluteLimit = 0;
};

// Idle means asleep: under 1 % of a processor over the 3 idle seconds. The
// time to the window depends on how busy the machine is and has no target.
const WindowFigure kWindowFigures[] = {
    {"time until the window is mapped", "to_map_ms", "ms"},
    {"processor time idle for 3 s", "idle_cpu_ms", "ms", 0, 30},
    {"wakeups idle for 3 s", "idle_wakeups", ""},
    {"peak resident memory", "peak_MB", "MB", 3},
};

std::string Duration(double seconds) {
    char text[32];
    if (seconds < 1e-6)
        std::snprintf(text, sizeof text, "%.1f ns", seconds * 1e9);
    else if (seconds < 1e-3)
        std::snprintf(text, sizeof text, "%.2f us", seconds * 1e6);
    else
        std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
    return text;
}

}  // namespace

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.error_occurred) failures_[run.run_name.function_name] = run.error_message;
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
            continue;
        const std::string& name = run.run_name.function_name;
        secondsPerIteration_[name].push_back(run.real_accumulated_time / double(run.iterations));
        for (const auto& [counter, value] : run.counters)
            counters_[name][counter].push_back(value.value);
    }
}

bool SummaryReporter::PrintSummary() const {
    auto seconds = [this](const char* name) -> std::optional<double> {
        auto found = secondsPerIteration_.find(name);
        if (found == secondsPerIteration_.end()) return std::nullopt;
        return Median(found->second);
    };
    bool allMet = true;
    std::printf("\n%-38s %11s %11s %9s  %s\n", "figure", "time", "baseline", "ratio", "target");
    for (const Figure& figure : kFigures) {
        std::optional<double> time = seconds(figure.benchmark);
        std::optional<double> baseline = seconds(figure.baseline);
        if (!time || !baseline) {
            auto failure = failures_.find(figure.benchmark);
            bool failed = failure != failures_.end();
            std::printf("%-38s %11s  %s\n", figure.what, failed ? "FAILED" : "not run",
                        failed ? failure->second.c_str() : "");
            allMet = allMet && !failed;
            continue;
        }
        std::string target = "none";
        if (figure.absoluteLimit > 0) {
            bool met = *time < figure.absoluteLimit;
            target = "< " + Duration(figure.absoluteLimit) + (met ? ": met" : ": MISSED");
            allMet = allMet && met;
        } else if (figure.relativeTo) {
            std::optional<double> other = seconds(figure.relativeTo);
            bool met = other && *time < figure.relativeLimit * *other;
            char text[96];
            std::snprintf(text, sizeof text, "< %g x %s (%.2f x)%s", figure.relativeLimit,
                          figure.relativeWhat, other ? *time / *other : 0.0,
                          met ? ": met" : ": MISSED");
            target = text;
            allMet = allMet && met;
        }
        std::printf("%-38s %11s %11s %8.1fx  %s\n", figure.what, Duration(*time).c_str(),
                    Duration(*baseline).c_str(), *time / *baseline, target.c_str());
    }
    std::printf("baselines: %s = empty message round trip, %s = process that starts and exits\n",
                Duration(seconds(kMessage).value_or(0)).c_str(),
                Duration(seconds(kProcess).value_or(0)).c_str());
    allMet = PrintPeakMemory() && allMet;
    return PrintWindowComparison() && allMet;
}

bool SummaryReporter::PrintPeakMemory() const {
    // A headless run loads no window library: it stays near a bare process.
    constexpr double limitMegabytes = 6;
    const struct {
        const char* benchmark;
        const char* what;
        bool hasLimit;
    } rows[] = {{kProcess, "a bare process", false},
                {"BM_StartUpToFirstPaint", "headless start-up to first paint", true},
                {"BM_StartUpToFirstPaintBaseline", "  same, the baseline build", false}};
    bool allMet = true;
    std::printf("\n%-38s %11s  %s\n", "peak resident memory", "MB", "target");
    for (const auto& row : rows) {
        auto found = counters_.find(row.benchmark);
        if (found == counters_.end() || !found->second.count("peak_MB")) {
            std::printf("%-38s %11s\n", row.what, "not run");
            continue;
        }
        double megabytes = Median(found->second.at("peak_MB"));
        bool met = megabytes <= limitMegabytes;
        if (row.hasLimit) allMet = allMet && met;
        std::printf("%-38s %11.2f  %s\n", row.what, megabytes,
                    !row.hasLimit ? "none" : met ? "<= 6 MB: met" : "<= 6 MB: MISSED");
    }
    return allMet;
}

bool SummaryReporter::PrintWindowComparison() const {
    auto figure = [this](const char* benchmark, const char* counter) -> std::optional<double> {
        auto found = counters_.find(benchmark);
        if (found == counters_.end() || !found->second.count(counter)) return std::nullopt;
        return Median(found->second.at(counter));
    };
    std::printf("\n%-30s %12s %18s %8s  %s\n", "window on Xvfb", "qozcal", "xinput_calibrator",
                "ratio", "target");
    for (const char* benchmark : {kWindow, kPeerWindow}) {
        auto failure = failures_.find(benchmark);
        if (failure != failures_.end()) {
            std::printf("%-30s FAILED  %s\n", benchmark, failure->second.c_str());
            return false;
        }
    }
    bool allMet = true;
    for (const WindowFigure& row : kWindowFigures) {
        std::optional<double> ours = figure(kWindow, row.counter);
        std::optional<double> peer = figure(kPeerWindow, row.counter);
        if (!ours || !peer) {
            std::printf("%-30s %12s\n", row.what, "not run");
            continue;
        }
        char ratio[16] = "-";
        if (*peer > 0) std::snprintf(ratio, sizeof ratio, "%.2fx", *ours / *peer);
        std::string target = "none";
        if (row.relativeLimit > 0) {
            bool met = *ours < row.relativeLimit * *peer;
            target = "< " + std::to_string(int(row.relativeLimit)) + " x the peer's" +
                     (met ? ": met" : ": MISSED");
            allMet = allMet && met;
        } else if (row.absoluteLimit > 0) {
            bool met = *ours < row.absoluteLimit;
            char text[48];
            std::snprintf(text, sizeof text, "< %g %s%s", row.absoluteLimit, row.unit,
                          met ? ": met" : ": MISSED");
            target = text;
            allMet = allMet && met;
        }
        std::printf("%-30s %9.1f %-2s %15.1f %-2s %8s  %s\n", row.what, *ours, row.unit, *peer,
                    row.unit, ratio, target.c_str());
        if (std::optional<double> earlier = figure("BM_WindowQozcalBaseline", row.counter))
            std::printf("%-30s %9.1f %-2s %15s %-2s %7.2fx\n", "  same, the baseline build",
                        *earlier, row.unit, "", "", *peer > 0 ? *earlier / *peer : 0.0);
    }
    return allMet;
}

}  // namespace qoz::bench
