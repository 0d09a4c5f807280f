// qozcal-bench: runs the benchmarks (any Google Benchmark options apply,
// e.g. --benchmark_filter) and prints the summary of figures, baselines,
// ratios and targets. Exit status 1 when a target was missed.
#include <benchmark/benchmark.h>

#include "bench/summary.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    qoz::bench::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bool allMet = reporter.PrintSummary();
    benchmark::Shutdown();
    return allMet ? 0 : 1;
}
