// qozcal-listen's command line.
#pragma once

#include <optional>
#include <string>

namespace qoz::listen {

struct Options {
    long count = -1;  // -1: no limit
    long timeoutMs = -1;
    std::optional<std::string> readyFile;
    std::optional<std::string> registryFile;
    bool printReg = false;  // print the settings as a .reg snippet and exit
};

struct CommandLine {
    enum class Action { Listen, ShowHelp, ShowVersion, UsageError };
    Action action = Action::Listen;
    Options options;
    std::string error;  // for UsageError: one line, without the program name
};

CommandLine ReadCommandLine(int argc, char** argv);

extern const char kUsage[];

}  // namespace qoz::listen
