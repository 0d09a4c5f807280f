// The end of a benchmark run: every figure beside the baseline measured in
// the same run, as a ratio, and the target it has on this kind of machine.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace qoz::bench {

// Reports to the console as usual and keeps each benchmark's real time per
// iteration for the summary: the median over its repetitions
// (--benchmark_repetitions=N), which a busy machine disturbs least.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;

    // Prints the table. False when a target was missed or a benchmark
    // failed; one left out by a filter is only marked so.
    bool PrintSummary() const;

private:
    std::map<std::string, std::vector<double>> secondsPerIteration_;
    std::map<std::string, std::string> failures_;
};

}  // namespace qoz::bench
