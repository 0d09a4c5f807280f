// Reads PNG screenshots back for tests: pixels as 0x00RRGGBB, row by row.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Empty when the file is missing or not a PNG.
std::optional<PngImage> ReadPng(const std::filesystem::path& path);
