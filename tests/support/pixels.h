// The words every screen check uses: pixels are 0x00RRGGBB, a position is a
// screen x, y.
#pragma once

#include <cstdint>
#include <set>
#include <utility>

constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t black = 0x000000;

using Pixel = std::pair<int, int>;  // screen x, y
using PixelSet = std::set<Pixel>;
