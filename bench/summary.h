// The end of a benchmark run: every figure beside the baseline measured in
// the same run, as a ratio, and the target it has on this kind of machine.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace qoz::bench {

// The middle value (the mean of the two middle ones for an even count);
// `values` must not be empty.
double Median(std::vector<double> values);

// Reports to the console as usual and keeps each benchmark's real time per
// iteration and its counters for the summary: the median over its
// repetitions (--benchmark_repetitions=N), which a busy machine disturbs
// least.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;

    // Prints the table. False when a target was missed or a benchmark
    // failed; one left out by a filter is only marked so.
    bool PrintSummary() const;

private:
    using Samples = std::map<std::string, std::vector<double>>;
    // The window beside its peer: time to mapped, idle processor time and
    // wakeups, peak memory, with their ratios.
    bool PrintWindowComparison() const;
    // The headless start-up's peak memory beside a bare process's.
    bool PrintPeakMemory() const;

    Samples secondsPerIteration_;
    std::map<std::string, Samples> counters_;
    std::map<std::string, std::string> failures_;
};

}  // namespace qoz::bench
