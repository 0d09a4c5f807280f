#include "platform/host/simulator/window_handover.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/host/shell.h"
#include "platform/host/simulator/command_line.h"

namespace qoz::sim {

namespace {

// The window program sits at QOZCAL_WINDOW_PROGRAM from this program's
// folder, in the build tree as below the installation prefix.
std::string WindowProgram() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return self.parent_path() / QOZCAL_WINDOW_PROGRAM;
}

int Refuse(const std::string& program, const std::string& why) {
    host::SayOnStandardError("qozcal: will not start the window program " + program + ": " + why +
                             "; install qozcal with its window program where only root or you "
                             "can change them (cmake --install, or the Debian package), or run "
                             "with --headless\n");
    return kUsageErrorStatus;
}

}  // namespace

int HandOverToWindow(char** argv) {
    std::string program = WindowProgram();
    if (program.empty()) return Refuse(QOZCAL_WINDOW_PROGRAM, "this program's folder is unknown");
    host::CheckedProgram checked = host::CheckTrustedProgram(program);
    if (!checked.problem.empty()) return Refuse(program, checked.problem);
    // A quit asked for during the exec and the window's start-up waits,
    // blocked, until the window program has its handlers; one that came
    // before ends the run here.
    host::HoldQuitSignals(true);
    if (host::QuitRequested()) return 0;
    execv(checked.path.c_str(), argv);
    int error = errno;
    host::HoldQuitSignals(false);
    return Refuse(program, std::strerror(error));
}

}  // namespace qoz::sim
