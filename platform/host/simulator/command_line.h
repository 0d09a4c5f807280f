// The simulator's command line. The program itself reads none; these options
// set up the simulated device around it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/common/command_options.h"
#include "platform/host/simulator/touch_panel.h"

namespace qoz::sim {

struct SimulatorOptions {
    int screenWidth = 240;
    int screenHeight = 320;
    std::optional<std::string> registryPath;
    std::optional<std::string> debugLogPath;
    std::optional<std::string> scriptPath;
    bool headless = false;
    bool printScript = false;  // print the script's steps as parsed, and run nothing
    bool virtualTime = false;
    int zoom = 2;
    std::optional<PanelModel> panel;  // a misaligned panel and the reference driver
};

// The exit status of a usage error, a bad script, no display or a window
// program that will not be started: the program did not run.
constexpr int kUsageErrorStatus = 2;

// What to do (the error: one line, without the program name) and with what.
struct CommandLine : CommandRequest {
    using Action = CommandAction;
    SimulatorOptions options;
};

// The arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments);

std::string UsageText();
std::string VersionText();

// "WxH" with each side 1 to 4096.
bool ParseScreenSize(std::string_view text, int& width, int& height);

}  // namespace qoz::sim
