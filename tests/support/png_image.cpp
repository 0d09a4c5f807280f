#include "tests/support/png_image.h"

#include <png.h>

#include <cstring>

std::optional<PngImage> ReadPng(const std::filesystem::path& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return std::nullopt;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return std::nullopt;
    }
    PngImage result;
    result.width = int(image.width);
    result.height = int(image.height);
    result.pixels.resize(size_t(result.width) * size_t(result.height));
    for (size_t i = 0; i < result.pixels.size(); ++i)
        result.pixels[i] =
            uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return result;
}
