// The simulator stands in for the device's start-up. It sets up the
// simulated screen, the settings and debug files, the pen script and the
// window, then runs the program and returns its exit code.
#include "platform/host/simulator/simulator_main.h"

#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/shell.h"
#include "platform/host/simulator/command_line.h"
#include "platform/host/simulator/panel_input.h"
#include "platform/host/simulator/pen_script.h"
#include "platform/host/simulator/screen_shot.h"
#include "platform/host/simulator/script_player.h"
#include "platform/host/simulator/script_then_user.h"
#include "platform/host/simulator/window_handover.h"
#include "platform/platform.h"

namespace {

constexpr int showWindow = SW_SHOW;

int UsageError(const std::string& message) {
    qoz::host::SayOnStandardError("qozcal: " + message +
                                  "\nTry 'qozcal --help' for more information.\n");
    return qoz::sim::kUsageErrorStatus;
}

// A pen position off the screen reaches no window, as a touch beside the
// panel never arrives; the script still runs, but the user is told.
void WarnOfPointsOffScreen(const std::string& path, const std::vector<qoz::sim::ScriptStep>& steps,
                           const qoz::sim::SimulatorOptions& options) {
    qoz::sim::OffScreen off =
        qoz::sim::PointsOffScreen(steps, options.screenWidth, options.screenHeight);
    if (off.count == 0) return;
    std::string where = "(" + std::to_string(off.first->input.x) + ", " +
                        std::to_string(off.first->input.y) + ")";
    std::string others =
        off.count == 1 ? "" : " (and so do points on " + std::to_string(off.count - 1) + " more lines)";
    qoz::host::SayOnStandardError(
        path + ":" + std::to_string(off.first->line) + ": warning: " + where + " is off the " +
        std::to_string(options.screenWidth) + "x" + std::to_string(options.screenHeight) +
        " screen and reaches no window" + others + "\n");
}

int RunProgram() {
    // The program only hands the instance back to the window calls; any
    // distinct non-null value stands in for the module handle.
    static char module;
    static WCHAR noCommandLine[] = TEXT("");
    return AppMain(reinterpret_cast<HINSTANCE>(&module), nullptr, noCommandLine, showWindow);
}

}  // namespace

namespace qoz::sim {

int SimulatorMain(int argc, char** argv, WindowOpener openWindow) {
    if (!host::OpenStandardDescriptors()) return kUsageErrorStatus;
    host::CatchQuitSignals();
    // The device knows no SIGPIPE: a write to a pipe nobody reads fails, and
    // the program goes on.
    signal(SIGPIPE, SIG_IGN);
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    CommandLine commandLine = ParseCommandLine(arguments);
    switch (commandLine.action) {
        case CommandLine::Action::UsageError:
            return UsageError(commandLine.error);
        case CommandLine::Action::ShowHelp:
            std::fputs(UsageText().c_str(), stdout);
            return 0;
        case CommandLine::Action::ShowVersion:
            std::fputs(VersionText().c_str(), stdout);
            return 0;
        case CommandLine::Action::Run:
            break;
    }
    const SimulatorOptions& options = commandLine.options;
    if (options.printScript && !options.scriptPath)
        return UsageError("--print-script needs --script FILE");
    if (!options.headless && !options.printScript && openWindow == nullptr)
        return HandOverToWindow(argv);

    std::optional<std::vector<ScriptStep>> script;
    if (options.scriptPath) {
        std::string error;
        script.emplace();
        if (!LoadPenScript(*options.scriptPath, *script, error)) {
            host::SayOnStandardError(error + "\n");
            return kUsageErrorStatus;
        }
        if (options.printScript) {
            std::fputs(DescribeSteps(*script).c_str(), stdout);
            return 0;
        }
        WarnOfPointsOffScreen(*options.scriptPath, *script, options);
    }

    if (options.registryPath) host::UseSettingsFile(*options.registryPath);
    if (options.debugLogPath) host::UseDebugLog(*options.debugLogPath);
    host::UseVirtualTime(options.virtualTime);
    host::SetScreenSize(options.screenWidth, options.screenHeight);

    std::unique_ptr<WindowInput> display;
    if (!options.headless) {
        // The quit signals stay held (the headless qozcal held them across the
        // hand-over as well) until the window takes them on a thread of its
        // own; without a window they are let in again.
        host::HoldQuitSignals(true);
        std::string error;
        display = openWindow(options.zoom, error);
        if (!display) {
            host::HoldQuitSignals(false);
            host::SayOnStandardError("qozcal: cannot open a window: " + error +
                                     "\nRun with --headless (and --script FILE) to go without a "
                                     "display.\n");
            return kUsageErrorStatus;
        }
    }

    std::unique_ptr<ScriptPlayer> player;
    if (script) {
        TimePasser letTimePass = PassTimeOnClock;
        if (display) letTimePass = [&display](uint64_t due) { return display->PassTimeUntil(due); };
        player = std::make_unique<ScriptPlayer>(std::move(*script), WriteScreenShot,
                                                     letTimePass);
    }

    std::unique_ptr<ScriptThenUser> both;
    host::InputSource* finger = nullptr;
    if (player && display) {
        both = std::make_unique<ScriptThenUser>(*player, *display);
        finger = both.get();
    } else if (player) {
        finger = player.get();
    } else if (display) {
        finger = display.get();
    }
    // With a panel, script and window positions are where the finger is;
    // the program gets what the panel reads and the driver makes of it.
    std::unique_ptr<PanelInput> panel;
    if (options.panel && finger) {
        panel = std::make_unique<PanelInput>(*finger, *options.panel, options.screenWidth,
                                                  options.screenHeight);
        finger = panel.get();
    }
    host::SetInputSource(finger);

    int status = RunProgram();
    host::SetInputSource(nullptr);
    host::ReportUnstoredSettings();
    return status;
}

}  // namespace qoz::sim
