#include "platform/host/simulator/screen_shot.h"

#include "platform/host/shell.h"
#include "platform/host/simulator/png_writer.h"

namespace qoz::sim {

void WriteScreenShot(const std::string& path) {
    std::string error;
    if (!WritePng(path, host::ScreenPixels(), host::ScreenWidth(), host::ScreenHeight(), error))
        host::SayOnStandardError("qozcal: cannot write screenshot " + path + ": " + error + "\n");
}

}  // namespace qoz::sim
