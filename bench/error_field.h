// A picture of an error field: the screen before and after a calibration,
// side by side, with an arrow from each test touch to where its ink lands.
#pragma once

#include <string>
#include <vector>

#include "bench/accuracy.h"

namespace qoz::bench {

// Writes the picture as a PNG, each screen pixel drawn as `zoom` x `zoom`.
// On failure returns false and says why in `error`.
bool WriteErrorField(const std::string& path, int width, int height,
                     const std::vector<Arrow>& before, const std::vector<Arrow>& after, int zoom,
                     std::string& error);

}  // namespace qoz::bench
