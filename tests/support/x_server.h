// An X server of a test's or benchmark's own (Xvfb), so that windows can be
// shown, clicked and photographed without the user's display.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/child_process.h"

class XvfbServer {
public:
    // Starts Xvfb (found on the PATH) with one screen of `screen`
    // (WIDTHxHEIGHTxDEPTH) on a display number it picks itself; its messages
    // go to `errorPath`. Waits up to 15 s for it to take connections.
    XvfbServer(const std::filesystem::path& errorPath, const std::string& screen = "640x800x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return !display_.empty(); }
    // ":N" for DISPLAY; empty when the server did not start.
    const std::string& Display() const { return display_; }
    // What went wrong when it did not start.
    const std::string& Error() const { return error_; }

private:
    ChildProcess process_;
    std::string display_;
    std::string error_;
};
