#include "platform/host/posix/case_fold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace qoz::host {

namespace {

// Units first, first + step, ... last upper-case to unit + delta (mod 0x10000).
struct UpperCaseRun {
    uint16_t first;
    uint16_t last;
    uint8_t step;
    uint16_t delta;
};

constexpr UpperCaseRun upperCaseRuns[] = {
#include "platform/host/posix/upper_case_table.inc"
};

char16_t UpperCaseUnit(char16_t unit) {
    // The last run that starts at or before the unit.
    const UpperCaseRun* after =
        std::upper_bound(std::begin(upperCaseRuns), std::end(upperCaseRuns), unit,
                         [](char16_t u, const UpperCaseRun& run) { return u < run.first; });
    if (after == std::begin(upperCaseRuns)) return unit;
    const UpperCaseRun& run = *(after - 1);
    if (unit > run.last || (unit - run.first) % run.step != 0) return unit;
    return static_cast<char16_t>(unit + run.delta);
}

}  // namespace

std::u16string FoldCase(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& unit : folded) unit = UpperCaseUnit(unit);
    return folded;
}

}  // namespace qoz::host
