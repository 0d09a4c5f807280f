#include "platform/host/gdi32/font_choice_cache.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <charconv>
#include <sstream>

#include "platform/host/gdi32/cache_folder.h"

namespace qoz::host {

namespace {

constexpr const char* kFormatLine = "qozcal caption font 1";
constexpr const char* kFileName = "caption-font";

std::string EnvironmentValue(const char* name) {
    const char* value = getenv(name);
    return value ? value : "";
}

// Everything the choice depends on besides the file's name and face: the
// file's identity and the environment fontconfig was loaded in.
std::optional<std::string> ChoiceKey(const std::string& file) {
    struct stat status {};
    if (stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    std::ostringstream key;
    key << status.st_size << ' ' << status.st_mtim.tv_sec << ' ' << status.st_mtim.tv_nsec << '\n'
        << EnvironmentValue("FONTCONFIG_FILE") << '\n'
        << EnvironmentValue("FONTCONFIG_PATH") << '\n'
        << EnvironmentValue("FONTCONFIG_SYSROOT") << '\n';
    return key.str();
}

bool OneLine(const std::string& text) { return text.find('\n') == std::string::npos; }

}  // namespace

std::optional<FontChoice> RecallFontChoice() {
    std::optional<std::string> text = ReadCacheFile(kFileName);
    if (!text) return std::nullopt;
    std::istringstream in(*text);
    std::string format, file, index;
    if (!std::getline(in, format) || format != kFormatLine || !std::getline(in, file) ||
        !std::getline(in, index))
        return std::nullopt;
    std::ostringstream rest;
    rest << in.rdbuf();
    FontChoice choice{file, 0};
    auto [end, error] = std::from_chars(index.data(), index.data() + index.size(), choice.index);
    if (error != std::errc() || end != index.data() + index.size() || choice.index < 0)
        return std::nullopt;
    std::optional<std::string> key = ChoiceKey(file);
    if (!key || *key != rest.str()) return std::nullopt;
    return choice;
}

std::optional<std::string> FontChoiceKey(const FontChoice& choice) {
    std::optional<std::string> key = ChoiceKey(choice.file);
    if (!key || !OneLine(choice.file)) return std::nullopt;
    return choice.file + '\n' + std::to_string(choice.index) + '\n' + *key;
}

void RememberFontChoice(const FontChoice& choice) {
    std::optional<std::string> key = FontChoiceKey(choice);
    if (key) WriteCacheFile(kFileName, std::string(kFormatLine) + '\n' + *key);
}

}  // namespace qoz::host
