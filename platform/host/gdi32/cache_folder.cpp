#include "platform/host/gdi32/cache_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/host/posix/private_folder.h"
#include "platform/host/posix/unique_fd.h"

namespace qoz::host {

namespace {

namespace fs = std::filesystem;

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

}  // namespace

std::optional<std::string> ReadCacheFile(const char* name) {
    UniqueFd folder = OpenCacheFolder(false);
    if (!folder.valid()) return std::nullopt;
    UniqueFd file(openat(folder.get(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
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

void WriteCacheFile(const char* name, const std::string& text) {
    if (text.size() > kLargestCacheFile) return;
    UniqueFd folder = OpenCacheFolder(true);
    if (!folder.valid()) return;
    std::string temporary = std::string(name) + "." + std::to_string(getpid());
    unlinkat(folder.get(), temporary.c_str(), 0);
    UniqueFd file(openat(folder.get(), temporary.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.valid()) return;
    bool written = write(file.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
    file.Reset();
    if (!written || renameat(folder.get(), temporary.c_str(), folder.get(), name) != 0)
        unlinkat(folder.get(), temporary.c_str(), 0);
}

}  // namespace qoz::host
