#include "platform/host/simulator/command_line.h"

#include "platform/common/command_options.h"

namespace qoz::sim {

namespace {

constexpr int maxScreenSide = 4096;
constexpr int maxZoom = 8;

const OptionNames kOptionNames = {
    .flags = {"--headless", "--virtual-time", "--print-script", "--help", "--version"},
    .valued = {"--screen", "--registry", "--debug-log", "--script", "--zoom", "--panel"}};

}  // namespace

bool ParseScreenSize(std::string_view text, int& width, int& height) {
    size_t cross = text.find('x');
    if (cross == std::string_view::npos) return false;
    auto w = ReadWholeNumber(text.substr(0, cross), 1, maxScreenSide);
    auto h = ReadWholeNumber(text.substr(cross + 1), 1, maxScreenSide);
    if (!w || !h) return false;
    width = int(*w);
    height = int(*h);
    return true;
}

CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments) {
    CommandLine result;
    SimulatorOptions& options = result.options;
    auto take = [&](std::string_view name, std::string_view value) -> std::string {
        std::string text(value);
        if (name == "--headless") options.headless = true;
        if (name == "--virtual-time") options.virtualTime = true;
        if (name == "--print-script") options.printScript = true;
        if (name == "--screen" &&
            !ParseScreenSize(text, options.screenWidth, options.screenHeight))
            return "bad screen size '" + text + "' for --screen (WxH, each side 1 to 4096)";
        if (name == "--zoom") {
            auto zoom = ReadWholeNumber(text, 1, maxZoom);
            if (!zoom) return "bad zoom '" + text + "' for --zoom (1 to 8)";
            options.zoom = int(*zoom);
        }
        if (name == "--panel") {
            std::string error;
            if (!ParsePanelModel(text, options.panel.emplace(), error)) return error;
        }
        for (auto [option, path] : {std::pair{"--registry", &options.registryPath},
                                    {"--debug-log", &options.debugLogPath},
                                    {"--script", &options.scriptPath}}) {
            if (name != option) continue;
            if (text.empty()) return "option '" + std::string(name) + "' needs a file name";
            *path = text;
        }
        return {};
    };
    static_cast<CommandRequest&>(result) = ReadCommandRequest(arguments, kOptionNames, take);
    return result;
}

std::string UsageText() {
    return "Usage: qozcal [--screen WxH] [--registry FILE] [--debug-log FILE] [--script FILE]\n"
           "              [--headless] [--virtual-time] [--zoom N] [--panel PANEL]\n"
           "       qozcal --print-script --script FILE\n"
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
           "  --print-script     print the script's steps as parsed, one a line, and exit\n"
           "  --headless         run without a window; ends when the script is done\n"
           "  --virtual-time     waits and pauses take no wall time\n"
           "  --zoom N           window scale, 1 to 8 (default 2)\n"
           "  --panel PANEL      a misaligned touch panel and the reference touch driver\n"
           "                     between the pen and the program; PANEL is\n"
           "                     dx=PX,dy=PX,sx=S,sy=S[,rot=DEG][,noise=PX][,seed=N]\n"
           "  -h, --help         show this help and exit\n"
           "  --version          show the version and exit\n";
}

std::string VersionText() { return std::string("qozcal ") + QOZCAL_VERSION + "\n"; }

}  // namespace qoz::sim
