// qozcal-listen's command line.
#pragma once

#include <optional>
#include <string>

#include "platform/common/command_options.h"

namespace qoz::listen {

struct Options {
    long count = -1;  // -1: no limit
    long timeoutMs = -1;
    std::optional<std::string> readyFile;
    std::optional<std::string> registryFile;
    bool printReg = false;  // print the settings as a .reg snippet and exit
};

// What to do (the error: one line, without the program name) and with what.
struct CommandLine : CommandRequest {
    using Action = CommandAction;
    Options options;
};

CommandLine ReadCommandLine(int argc, char** argv);

extern const char kUsage[];

}  // namespace qoz::listen
