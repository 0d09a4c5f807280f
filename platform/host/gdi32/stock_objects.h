// The stock objects: the five stock brushes and the colours the host paints
// with itself.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace qoz::host {

inline constexpr uint32_t kBlack = 0x00000000;
inline constexpr uint32_t kWhite = 0x00FFFFFF;

// The colour of a stock brush; empty for anything that is not one.
std::optional<uint32_t> BrushColour(HBRUSH brush);

}  // namespace qoz::host
