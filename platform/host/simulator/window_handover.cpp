#include "platform/host/simulator/window_handover.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qoz::sim {

namespace {

constexpr int usageErrorStatus = 2;

// The window program sits at QOZCAL_WINDOW_PROGRAM from this program's
// folder, in the build tree as below the installation prefix.
std::filesystem::path WindowProgram(std::error_code& error) {
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return self.parent_path() / QOZCAL_WINDOW_PROGRAM;
}

}  // namespace

int HandOverToWindow(char** argv) {
    std::error_code error;
    std::filesystem::path program = WindowProgram(error);
    if (!error) {
        execv(program.c_str(), argv);
        error.assign(errno, std::generic_category());
    }
    std::fprintf(stderr,
                 "qozcal: cannot start the window program %s: %s\n"
                 "Run with --headless (and --script FILE) to go without a window.\n",
                 program.c_str(), error.message().c_str());
    return usageErrorStatus;
}

}  // namespace qoz::sim
