// qozcal-bench: runs the benchmarks (any Google Benchmark options apply,
// e.g. --benchmark_filter) and prints the summary of figures, baselines,
// ratios and targets, then the accuracy table. --accuracy_pictures=FOLDER
// also draws the error fields of a few panels there; --baseline_simulator=PATH
// measures an earlier build's headless start-up and window beside this one's. Exit status
// 1 when a target was missed or a picture could not be written.
#include <benchmark/benchmark.h>

#include <string_view>

#include "bench/accuracy_table.h"
#include "bench/baseline.h"
#include "bench/summary.h"

int main(int argc, char** argv) {
    constexpr std::string_view picturesFlag = "--accuracy_pictures=";
    constexpr std::string_view baselineFlag = "--baseline_simulator=";
    std::string picturesFolder;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument.starts_with(picturesFlag))
            picturesFolder = argument.substr(picturesFlag.size());
        else if (argument.starts_with(baselineFlag)) {
            std::string simulator(argument.substr(baselineFlag.size()));
            qoz::bench::AddBaselineStartUp(simulator);
            qoz::bench::AddBaselineWindow(simulator);
        }
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    qoz::bench::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bool allMet = reporter.PrintSummary();
    qoz::bench::PrintAccuracyTable();
    if (!picturesFolder.empty())
        allMet = qoz::bench::WriteAccuracyPictures(picturesFolder) && allMet;
    benchmark::Shutdown();
    return allMet ? 0 : 1;
}
