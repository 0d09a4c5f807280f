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

struct CommandLine {
    using Action = CommandAction;
    Action action = Action::Run;
    Options options;
    std::string error;  // for UsageError: one line, without the program name
};

CommandLine ReadCommandLine(int argc, char** argv);

extern const char kUsage[];

}  // namespace qoz::listen
