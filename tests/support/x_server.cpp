#include "tests/support/x_server.h"

#include <poll.h>
#include <unistd.h>

#include "tests/support/scratch_environment.h"

namespace fs = std::filesystem;

// Xvfb writes the display number it picked to the pipe once it is ready to
// take connections.
XvfbServer::XvfbServer(const fs::path& errorPath, const std::string& screen) {
    std::optional<std::string> xvfb = FindProgram("Xvfb");
    if (!xvfb) {
        error_ = "Xvfb is not installed";
        return;
    }
    int ends[2];
    if (pipe(ends) != 0) {
        error_ = "no pipe";
        return;
    }
    ChildLaunch launch;
    launch.argv = {*xvfb,       "-displayfd", std::to_string(ends[1]), "-screen", "0", screen,
                   "-nolisten", "tcp"};
    launch.errorPath = errorPath;
    process_ = StartChild(launch);
    close(ends[1]);
    std::string number;
    pollfd ready{ends[0], POLLIN, 0};
    char buffer[32];
    while (number.find('\n') == std::string::npos && number.size() < 64 &&
           poll(&ready, 1, 15000) > 0) {
        ssize_t count = read(ends[0], buffer, sizeof buffer);
        if (count <= 0) break;
        number.append(buffer, size_t(count));
    }
    close(ends[0]);
    if (number.find('\n') == std::string::npos) {
        error_ = "Xvfb did not start: " + ReadWholeFile(errorPath);
        StopChild(process_);
        return;
    }
    display_ = ":" + number.substr(0, number.find('\n'));
}

XvfbServer::~XvfbServer() { StopChild(process_); }
