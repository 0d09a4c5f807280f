// Screenshots: the simulated screen's pixels written as a PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qoz::sim {

// Writes `width` x `height` pixels (0x00RRGGBB, row by row) as an 8-bit RGB
// PNG. On failure returns false and says why in `error`.
bool WritePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
              std::string& error);

}  // namespace qoz::sim
