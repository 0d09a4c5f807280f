// The command lines of qozcal and qozcal-listen, read alike: long options
// whose value follows after a space or an equals sign, and -h for --help.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qoz {

struct OptionNames {
    std::vector<std::string_view> flags;   // options without a value
    std::vector<std::string_view> valued;  // options with one value
};

// Calls take(name, value) for each option in order, value empty for a flag,
// "-h" as "--help". Reading stops at the first error, take's own (anything
// but "") or the reader's: an unknown option, an argument that is none, a
// flag given a value, a value missing. Returns that error as one line
// without the program's name, or "".
std::string ReadOptions(
    const std::vector<std::string_view>& arguments, const OptionNames& names,
    const std::function<std::string(std::string_view name, std::string_view value)>& take);

// What a command line asks for; help and the version win over running.
enum class CommandAction { Run, ShowHelp, ShowVersion, UsageError };
struct CommandRequest {
    CommandAction action = CommandAction::Run;
    std::string error;  // for UsageError
};

// ReadOptions, with --help and --version taken here and the rest given to
// take; names must hold both.
CommandRequest ReadCommandRequest(
    const std::vector<std::string_view>& arguments, const OptionNames& names,
    const std::function<std::string(std::string_view name, std::string_view value)>& take);

// A whole number of decimal digits only, from low to high.
std::optional<long> ReadWholeNumber(std::string_view text, long low, long high);

}  // namespace qoz
