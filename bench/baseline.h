// The whole-process benchmarks' one setting.
#pragma once

#include <string>

namespace qoz::bench {

// Measures the start-up of `simulator`, an earlier build, beside this one's
// (BM_StartUpToFirstPaintBaseline).
void AddBaselineStartUp(const std::string& simulator);

}  // namespace qoz::bench
