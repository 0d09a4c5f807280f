// An earlier build measured beside this one, given to qozcal-bench with
// --baseline_simulator=PATH: its headless start-up and its window.
#pragma once

#include <string>

namespace qoz::bench {

// BM_StartUpToFirstPaintBaseline.
void AddBaselineStartUp(const std::string& simulator);
// BM_WindowQozcalBaseline.
void AddBaselineWindow(const std::string& simulator);

}  // namespace qoz::bench
