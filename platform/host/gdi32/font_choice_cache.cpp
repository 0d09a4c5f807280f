#include "platform/host/gdi32/font_choice_cache.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qoz::host {

namespace {

namespace fs = std::filesystem;

constexpr const char* kFormatLine = "qozcal caption font 1";

std::optional<fs::path> CacheFile() {
    const char* cacheHome = getenv("XDG_CACHE_HOME");
    if (cacheHome && cacheHome[0] == '/') return fs::path(cacheHome) / "qozcal" / "caption-font";
    const char* home = getenv("HOME");
    if (home && home[0] == '/') return fs::path(home) / ".cache" / "qozcal" / "caption-font";
    return std::nullopt;
}

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
    std::optional<fs::path> path = CacheFile();
    if (!path) return std::nullopt;
    std::ifstream in(*path, std::ios::binary);
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

void RememberFontChoice(const FontChoice& choice) {
    std::optional<fs::path> path = CacheFile();
    std::optional<std::string> key = ChoiceKey(choice.file);
    if (!path || !key || !OneLine(choice.file)) return;
    std::error_code failure;
    fs::create_directories(path->parent_path(), failure);
    if (failure) return;
    // Written beside the cache and renamed over it: a reader never sees half.
    fs::path temporary = *path;
    temporary += "." + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << kFormatLine << '\n' << choice.file << '\n' << choice.index << '\n' << *key;
        if (!out.flush()) {
            fs::remove(temporary, failure);
            return;
        }
    }
    fs::rename(temporary, *path, failure);
    if (failure) fs::remove(temporary, failure);
}

}  // namespace qoz::host
