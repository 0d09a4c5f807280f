#include "platform/host/simulator/png_writer.h"

#include <png.h>

#include <cerrno>
#include <cstring>

namespace qoz::sim {

bool WritePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
              std::string& error) {
    if (width <= 0 || height <= 0 || pixels.size() != size_t(width) * size_t(height)) {
        error = "the screen has no pixels to write";
        return false;
    }
    std::vector<uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (uint32_t pixel : pixels) {
        rgb.push_back(uint8_t(pixel >> 16));
        rgb.push_back(uint8_t(pixel >> 8));
        rgb.push_back(uint8_t(pixel));
    }

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;

    errno = 0;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) == 0) {
        // libpng reports an unopenable file as a bare "fopen"; the system's
        // reason says more.
        error = errno != 0 ? std::strerror(errno) : image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace qoz::sim
