#include "platform/host/simulator/png_writer.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

    // Only a regular file: a FIFO or a device named as the shot would block
    // or swallow it. Nothing waits on the open.
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        error = S_ISDIR(status.st_mode) ? std::strerror(EISDIR) : "not a regular file";
        return false;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                  0666);
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = fd < 0 && errno != ENXIO ? std::strerror(errno) : "not a regular file";
        if (fd >= 0) close(fd);
        return false;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        close(fd);
        return false;
    }
    bool written = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
    if (!written) {
        error = image.message;
        png_image_free(&image);
    }
    if (std::fclose(file) != 0 && written) {
        error = std::strerror(errno);
        written = false;
    }
    return written;
}

}  // namespace qoz::sim
