#include "platform/host/simulator/screen_shot.h"

#include <cstdio>

#include "platform/host/shell.h"
#include "platform/host/simulator/png_writer.h"

namespace qoz::sim {

void WriteScreenShot(const std::string& path) {
    std::string error;
    if (!WritePng(path, host::ScreenPixels(), host::ScreenWidth(), host::ScreenHeight(), error))
        std::fprintf(stderr, "qozcal: cannot write screenshot %s: %s\n", path.c_str(),
                     error.c_str());
}

}  // namespace qoz::sim
