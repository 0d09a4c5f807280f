#include "tools/listen_options.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/common/command_options.h"

namespace qoz::listen {

const char kUsage[] =
    "Usage: qozcal-listen [--count N] [--timeout MS] [--ready FILE] [--registry FILE]\n"
    "       qozcal-listen --reg [--registry FILE]\n"
    "Prints CALSTARTEVENT or CALENDEVENT for each calibration event it sees, and\n"
    "after CALENDEVENT the settings ScaleX, ScaleY, OffsetX and OffsetY, read from\n"
    "the settings file it names on standard error.\n"
    "  --count N         exit with status 0 after N events (default: no limit)\n"
    "  --timeout MS      exit with status 1 if MS milliseconds pass first\n"
    "  --ready FILE      create FILE, holding this process's number, once both\n"
    "                    events are open\n"
    "  --registry FILE   the settings file qozcal was given (default: $QOZCAL_REGISTRY,\n"
    "                    else ~/.local/state/qozcal/registry.reg)\n"
    "  --reg             print the stored settings as a .reg snippet and exit\n"
    "  -h, --help        show this help and exit\n"
    "  --version         show the version and exit\n";

namespace {

// Counts and times up to this; larger ones are refused rather than overflow
// a conversion (a time-out of about 24 days).
constexpr long kLargestNumber = 2147483647;

const OptionNames kOptionNames = {
    .flags = {"--help", "--version", "--reg"},
    .valued = {"--count", "--timeout", "--ready", "--registry"}};

}  // namespace

CommandLine ReadCommandLine(int argc, char** argv) {
    CommandLine result;
    Options& options = result.options;
    auto take = [&](std::string_view name, std::string_view value) -> std::string {
        if (name == "--reg") options.printReg = true;
        for (auto [option, number] :
             {std::pair{"--count", &options.count}, {"--timeout", &options.timeoutMs}}) {
            if (name != option) continue;
            std::optional<long> read = ReadWholeNumber(value, 0, kLargestNumber);
            if (!read)
                return std::string(name) + " needs a whole number from 0 to " +
                       std::to_string(kLargestNumber) + ", not '" + std::string(value) + "'";
            *number = *read;
        }
        for (auto [option, path] :
             {std::pair{"--ready", &options.readyFile}, {"--registry", &options.registryFile}}) {
            if (name != option) continue;
            if (value.empty()) return "option '" + std::string(name) + "' needs a file name";
            *path = std::string(value);
        }
        return {};
    };
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    static_cast<CommandRequest&>(result) = ReadCommandRequest(arguments, kOptionNames, take);
    return result;
}

}  // namespace qoz::listen
