#include "platform/host/advapi32/registry_file.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>

namespace qoz::host {

namespace {

struct FileDescriptor {
    int fd = -1;
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
};

void ReportOnce(const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (!reported.insert(message).second) return;
    std::string line = "qozcal: " + message + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

LONG ErrorCodeFor(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

LONG ReportReadFailure(const std::string& path, int error) {
    ReportOnce("cannot read settings file " + path + ": " + std::strerror(error));
    return ErrorCodeFor(error);
}

LONG ReportWriteFailure(const std::string& path, const std::string& what, int error) {
    ReportOnce("cannot write settings file " + path + ": " + what + std::strerror(error) +
               "; the file is left unchanged");
    return ErrorCodeFor(error);
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return found->pw_dir ? found->pw_dir : "";
}

// Reads the whole file behind fd, which must be a regular file.
LONG ReadAll(const std::string& path, int fd, std::string& text) {
    char chunk[65536];
    while (true) {
        ssize_t count = read(fd, chunk, sizeof chunk);
        if (count == 0) return ERROR_SUCCESS;
        if (count < 0) {
            if (errno == EINTR) continue;
            return ReportReadFailure(path, errno);
        }
        text.append(chunk, static_cast<size_t>(count));
    }
}

// mode receives the file's permission bits when it exists.
LONG LoadFile(const std::string& path, Registry& registry, std::optional<mode_t>* mode) {
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.fd < 0) {
        if (errno != ENOENT) return ReportReadFailure(path, errno);
        registry = Registry{};
        return ERROR_SUCCESS;
    }
    struct stat status {};
    if (fstat(file.fd, &status) != 0) return ReportReadFailure(path, errno);
    if (S_ISDIR(status.st_mode)) return ReportReadFailure(path, EISDIR);
    if (!S_ISREG(status.st_mode)) {
        ReportOnce("cannot read settings file " + path + ": not a regular file");
        return ERROR_REGISTRY_IO_FAILED;
    }
    std::string text;
    if (LONG error = ReadAll(path, file.fd, text)) return error;
    ParseResult parsed = ParseRegistry(text);
    if (parsed.error) {
        ReportOnce("cannot read settings file " + path + ", line " +
                   std::to_string(parsed.error->line) + ": " + parsed.error->reason +
                   "; the file is left unchanged");
        return ERROR_REGISTRY_CORRUPT;
    }
    registry = std::move(parsed.registry);
    if (mode) *mode = status.st_mode & 07777;
    return ERROR_SUCCESS;
}

bool WriteAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        ssize_t count = write(fd, text.data() + written, text.size() - written);
        if (count < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        written += static_cast<size_t>(count);
    }
    return true;
}

void SyncFolder(const std::filesystem::path& folder) {
    FileDescriptor directory(
        open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.fd >= 0) fsync(directory.fd);  // best effort: the rename itself is done
}

// Writes text beside the file and renames it over the file. A symbolic link
// at path is kept and the file it points to is replaced.
LONG SaveFile(const std::string& path, const std::string& text, std::optional<mode_t> mode) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::path target = path;
    if (fs::is_symlink(target, ignored)) {
        fs::path resolved = fs::canonical(target, ignored);
        if (!ignored) target = resolved;
    }
    std::string temporary = target.string() + ".tmp";
    unlink(temporary.c_str());
    FileDescriptor file(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.fd < 0) return ReportWriteFailure(path, "cannot create " + temporary + ": ", errno);
    bool written =
        (!mode || fchmod(file.fd, *mode) == 0) && WriteAll(file.fd, text) && fsync(file.fd) == 0;
    int error = errno;
    if (close(file.fd) != 0 && written) {
        written = false;
        error = errno;
    }
    file.fd = -1;
    if (!written) {
        unlink(temporary.c_str());
        return ReportWriteFailure(path, "", error);
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        unlink(temporary.c_str());
        return ReportWriteFailure(path, "", error);
    }
    SyncFolder(target.parent_path());
    return ERROR_SUCCESS;
}

LONG ReportNoLocation() {
    ReportOnce(
        "cannot find the settings file: neither QOZCAL_REGISTRY, XDG_STATE_HOME nor a home folder "
        "is set");
    return ERROR_REGISTRY_IO_FAILED;
}

}  // namespace

std::string RegistryFilePath() {
    const char* explicitPath = std::getenv("QOZCAL_REGISTRY");
    if (explicitPath && *explicitPath) return explicitPath;
    const char* stateHome = std::getenv("XDG_STATE_HOME");
    if (stateHome && stateHome[0] == '/') return std::string(stateHome) + "/qozcal/registry.reg";
    std::string home = HomeFolder();
    if (home.empty()) return {};
    return home + "/.local/state/qozcal/registry.reg";
}

LONG ReadRegistryFile(Registry& registry) {
    std::string path = RegistryFilePath();
    if (path.empty()) return ReportNoLocation();
    return LoadFile(path, registry, nullptr);
}

LONG ChangeRegistryFile(const std::function<LONG(Registry& registry, bool& changed)>& change) {
    std::string path = RegistryFilePath();
    if (path.empty()) return ReportNoLocation();
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    if (error) return ReportWriteFailure(path, "cannot create its folder: ", error.value());

    std::string lockPath = path + ".lock";
    FileDescriptor lock(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
    if (lock.fd < 0)
        return ReportWriteFailure(path, "cannot open the lock file " + lockPath + ": ", errno);
    while (flock(lock.fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return ReportWriteFailure(path, "cannot lock " + lockPath + ": ", errno);
    }

    Registry registry;
    std::optional<mode_t> mode;
    if (LONG status = LoadFile(path, registry, &mode)) return status;
    bool changed = false;
    if (LONG status = change(registry, changed)) return status;
    if (!changed) return ERROR_SUCCESS;
    std::string text = FormatRegistry(registry);
    if (std::optional<std::string> difference = ReadBackDifference(registry, text)) {
        // Never replace a readable file with one that reads back otherwise.
        ReportOnce("cannot write settings file " + path + ": " + *difference +
                   "; the file is left unchanged");
        return ERROR_REGISTRY_IO_FAILED;
    }
    return SaveFile(path, text, mode);
}

}  // namespace qoz::host
