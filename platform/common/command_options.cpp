#include "platform/common/command_options.h"

#include <algorithm>
#include <charconv>

namespace qoz {

namespace {

bool Holds(const std::vector<std::string_view>& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

// Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) of the same
// text built with operator+ from a string_view.
std::string Said(const char* before, std::string_view name, const char* after) {
    std::string text(before);
    text.append(name).append(after);
    return text;
}

}  // namespace

std::string ReadOptions(
    const std::vector<std::string_view>& arguments, const OptionNames& names,
    const std::function<std::string(std::string_view name, std::string_view value)>& take) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string_view name = arguments[i] == "-h" ? "--help" : arguments[i];
        std::optional<std::string_view> value;
        if (size_t equals = name.find('='); name.starts_with("--") && equals != name.npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        std::string error;
        if (Holds(names.flags, name)) {
            if (value) return Said("option '", name, "' takes no value");
            error = take(name, {});
        } else if (Holds(names.valued, name)) {
            if (!value && i + 1 == arguments.size())
                return Said("option '", name, "' needs a value");
            error = take(name, value ? *value : arguments[++i]);
        } else {
            return Said(name.starts_with("-") ? "unknown option '" : "unexpected argument '", name,
                        "'");
        }
        if (!error.empty()) return error;
    }
    return {};
}

CommandRequest ReadCommandRequest(
    const std::vector<std::string_view>& arguments, const OptionNames& names,
    const std::function<std::string(std::string_view name, std::string_view value)>& take) {
    bool help = false, version = false;
    std::string error =
        ReadOptions(arguments, names, [&](std::string_view name, std::string_view value) {
            help = help || name == "--help";
            version = version || name == "--version";
            return name == "--help" || name == "--version" ? std::string() : take(name, value);
        });
    if (!error.empty()) return {CommandAction::UsageError, std::move(error)};
    if (help) return {CommandAction::ShowHelp, {}};
    return {version ? CommandAction::ShowVersion : CommandAction::Run, {}};
}

std::optional<long> ReadWholeNumber(std::string_view text, long low, long high) {
    if (text.empty() || text.find_first_not_of("0123456789") != text.npos) return std::nullopt;
    long value = 0;
    auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace qoz
