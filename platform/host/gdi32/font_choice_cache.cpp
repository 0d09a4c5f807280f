#include "platform/host/gdi32/font_choice_cache.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <sstream>

#include "platform/host/posix/private_folder.h"
#include "platform/host/posix/unique_fd.h"

namespace qoz::host {

namespace {

namespace fs = std::filesystem;

constexpr const char* kFormatLine = "qozcal caption font 1";
constexpr const char* kFileName = "caption-font";

// A real cache file is a few hundred bytes.
constexpr size_t kLargestCacheFile = 64 * 1024;

std::optional<fs::path> CacheFolder() {
    const char* cacheHome = getenv("XDG_CACHE_HOME");
    if (cacheHome && cacheHome[0] == '/') return fs::path(cacheHome) / "qozcal";
    const char* home = getenv("HOME");
    if (home && home[0] == '/') return fs::path(home) / ".cache" / "qozcal";
    return std::nullopt;
}

// The cache folder, open, when it is the user's own and nobody else may
// write to it; invalid otherwise (the cache is then simply not used).
UniqueFd OpenCacheFolder(bool create) {
    std::optional<fs::path> folder = CacheFolder();
    if (!folder) return UniqueFd();
    return CheckPrivateFolder(folder->string(), FolderPrivacy::NotWritable, create).fd;
}

// The cache file's text: a regular file of the user's, never through a
// link, and never more than the limit.
std::optional<std::string> ReadCacheFile() {
    UniqueFd folder = OpenCacheFolder(false);
    if (!folder.valid()) return std::nullopt;
    UniqueFd file(openat(folder.get(), kFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file.valid() || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != geteuid() || static_cast<size_t>(status.st_size) > kLargestCacheFile)
        return std::nullopt;
    std::string text(kLargestCacheFile + 1, '\0');
    ssize_t size = read(file.get(), text.data(), text.size());
    if (size < 0 || static_cast<size_t>(size) > kLargestCacheFile) return std::nullopt;
    text.resize(static_cast<size_t>(size));
    return text;
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
    std::optional<std::string> text = ReadCacheFile();
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

void RememberFontChoice(const FontChoice& choice) {
    std::optional<std::string> key = ChoiceKey(choice.file);
    if (!key || !OneLine(choice.file)) return;
    UniqueFd folder = OpenCacheFolder(true);
    if (!folder.valid()) return;
    std::ostringstream text;
    text << kFormatLine << '\n' << choice.file << '\n' << choice.index << '\n' << *key;
    std::string bytes = text.str();
    // Written beside the cache, made anew and never through a link, then
    // renamed over it: a reader never sees half.
    std::string temporary = std::string(kFileName) + "." + std::to_string(getpid());
    unlinkat(folder.get(), temporary.c_str(), 0);
    UniqueFd file(openat(folder.get(), temporary.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.valid()) return;
    bool written =
        write(file.get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    file.Reset();
    if (!written || renameat(folder.get(), temporary.c_str(), folder.get(), kFileName) != 0)
        unlinkat(folder.get(), temporary.c_str(), 0);
}

}  // namespace qoz::host
