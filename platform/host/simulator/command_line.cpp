#include "platform/host/simulator/command_line.h"

#include <charconv>

namespace qoz::sim {

namespace {

constexpr int maxScreenSide = 4096;
constexpr int maxZoom = 8;

std::optional<int> ParseInteger(std::string_view text, int low, int high) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    int value = 0;
    auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

bool TakesValue(std::string_view option) {
    return option == "--screen" || option == "--registry" || option == "--debug-log" ||
           option == "--script" || option == "--zoom" || option == "--panel";
}

bool IsFlag(std::string_view option) {
    return option == "--headless" || option == "--virtual-time" || option == "--help" ||
           option == "--version";
}

CommandLine Failure(std::string message) {
    CommandLine result;
    result.action = CommandLine::Action::UsageError;
    result.error = std::move(message);
    return result;
}

}  // namespace

bool ParseScreenSize(std::string_view text, int& width, int& height) {
    size_t cross = text.find('x');
    if (cross == std::string_view::npos) return false;
    auto w = ParseInteger(text.substr(0, cross), 1, maxScreenSide);
    auto h = ParseInteger(text.substr(cross + 1), 1, maxScreenSide);
    if (!w || !h) return false;
    width = *w;
    height = *h;
    return true;
}

CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments) {
    CommandLine result;
    SimulatorOptions& options = result.options;
    bool help = false, version = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string_view option = arguments[i];
        std::optional<std::string_view> value;
        if (size_t equals = option.find('='); option.starts_with("--") && equals != option.npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        std::string name(option);
        if (IsFlag(option)) {
            if (value) return Failure("option '" + name + "' takes no value");
            if (option == "--headless") options.headless = true;
            if (option == "--virtual-time") options.virtualTime = true;
            if (option == "--help") help = true;
            if (option == "--version") version = true;
            continue;
        }
        if (!TakesValue(option)) {
            if (option.starts_with("-")) return Failure("unknown option '" + name + "'");
            return Failure("unexpected argument '" + name + "'");
        }
        if (!value) {
            if (i + 1 == arguments.size()) return Failure("option '" + name + "' needs a value");
            value = arguments[++i];
        }
        std::string text(*value);
        if (option == "--screen") {
            if (!ParseScreenSize(text, options.screenWidth, options.screenHeight))
                return Failure("bad screen size '" + text +
                               "' for --screen (WxH, each side 1 to 4096)");
        } else if (option == "--zoom") {
            auto zoom = ParseInteger(text, 1, maxZoom);
            if (!zoom) return Failure("bad zoom '" + text + "' for --zoom (1 to 8)");
            options.zoom = *zoom;
        } else if (option == "--panel") {
            std::string error;
            if (!ParsePanelModel(text, options.panel.emplace(), error)) return Failure(error);
        } else {
            if (text.empty()) return Failure("option '" + name + "' needs a file name");
            if (option == "--registry") options.registryPath = text;
            if (option == "--debug-log") options.debugLogPath = text;
            if (option == "--script") options.scriptPath = text;
        }
    }
    if (help)
        result.action = CommandLine::Action::ShowHelp;
    else if (version)
        result.action = CommandLine::Action::ShowVersion;
    return result;
}

std::string UsageText() {
    return "Usage: qozcal [--screen WxH] [--registry FILE] [--debug-log FILE] [--script FILE]\n"
           "              [--headless] [--virtual-time] [--zoom N] [--panel PANEL]\n"
           "              [--help] [--version]\n"
           "\n"
           "Runs the touch-screen calibration utility on a simulated device screen.\n"
           "\n"
           "  --screen WxH       simulated screen size, each side 1 to 4096 (default 240x320)\n"
           "  --registry FILE    settings file (default: $QOZCAL_REGISTRY, else\n"
           "                     ~/.local/state/qozcal/registry.reg)\n"
           "  --debug-log FILE   append debug lines to FILE (default: $QOZCAL_DEBUG_LOG,\n"
           "                     else standard error)\n"
           "  --script FILE      replay a pen script (down, move, up, tap, stroke, key,\n"
           "                     wait, shot), checked completely before the program starts\n"
           "  --headless         run without a window; ends when the script is done\n"
           "  --virtual-time     waits and pauses take no wall time\n"
           "  --zoom N           window scale, 1 to 8 (default 2)\n"
           "  --panel PANEL      a misaligned touch panel and the reference touch driver\n"
           "                     between the pen and the program; PANEL is\n"
           "                     dx=PX,dy=PX,sx=S,sy=S[,rot=DEG][,noise=PX][,seed=N]\n"
           "  --help             show this help and exit\n"
           "  --version          show the version and exit\n";
}

std::string VersionText() { return std::string("qozcal ") + QOZCAL_VERSION + "\n"; }

}  // namespace qoz::sim
