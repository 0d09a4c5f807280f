#include "platform/host/advapi32/registry_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/host/posix/patient_lock.h"
#include "platform/host/posix/private_folder.h"
#include "platform/host/posix/problem_report.h"
#include "platform/host/posix/unique_fd.h"

namespace qoz::host {

namespace {

const std::string kLimitText = "16 MiB";

LONG ErrorCodeFor(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ELOOP:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

LONG ReportReadFailure(const std::string& path, int error) {
    ReportProblemOnce("cannot read settings file " + path + ": " + std::strerror(error));
    return ErrorCodeFor(error);
}

LONG ReportWriteFailure(const std::string& path, const std::string& what, int error) {
    ReportProblemOnce("cannot write settings file " + path + ": " + what + std::strerror(error) +
                      "; the file is left unchanged");
    return ErrorCodeFor(error);
}

LONG ReportWriteRefusal(const std::string& path, const std::string& why, LONG code) {
    ReportProblemOnce("cannot write settings file " + path + ": " + why +
                      "; the file is left unchanged");
    return code;
}

std::string UnsafeFolder(const CheckedFolder& folder, const std::string& path) {
    return "the folder " + path + " is not safe to use: " + folder.problem;
}

// Reads at most one byte more than the limit of the file behind fd.
LONG ReadBounded(const std::string& path, int fd, std::string& text) {
    char chunk[65536];
    while (true) {
        ssize_t count = read(fd, chunk, sizeof chunk);
        if (count == 0) return ERROR_SUCCESS;
        if (count < 0) {
            if (errno == EINTR) continue;
            return ReportReadFailure(path, errno);
        }
        text.append(chunk, static_cast<size_t>(count));
        if (text.size() > kLargestSettingsFile) return ERROR_REGISTRY_CORRUPT;
    }
}

LONG ReportTooLarge(const std::string& path) {
    ReportProblemOnce("cannot read settings file " + path + ": it is larger than " + kLimitText +
                      "; the file is left unchanged");
    return ERROR_REGISTRY_CORRUPT;
}

// mode receives the file's permission bits when it exists.
LONG LoadFile(const std::string& path, Registry& registry, std::optional<mode_t>* mode) {
    UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid()) {
        if (errno != ENOENT) return ReportReadFailure(path, errno);
        registry = Registry{};
        return ERROR_SUCCESS;
    }
    struct stat status {};
    if (fstat(file.get(), &status) != 0) return ReportReadFailure(path, errno);
    if (S_ISDIR(status.st_mode)) return ReportReadFailure(path, EISDIR);
    if (!S_ISREG(status.st_mode)) {
        ReportProblemOnce("cannot read settings file " + path + ": not a regular file");
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (static_cast<uint64_t>(status.st_size) > kLargestSettingsFile) return ReportTooLarge(path);
    std::string text;
    if (LONG error = ReadBounded(path, file.get(), text)) {
        return error == ERROR_REGISTRY_CORRUPT ? ReportTooLarge(path) : error;
    }
    ParseResult parsed = ParseRegistry(text);
    if (parsed.error) {
        ReportProblemOnce("cannot read settings file " + path + ", line " +
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

void SyncFolder(const std::string& file) {
    std::string folder = file.substr(0, file.rfind('/') + 1);
    UniqueFd directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.valid()) fsync(directory.get());  // best effort: the rename itself is done
}

// Writes text beside target, the file the path leads to, and renames it
// over the file. The temporary file is made anew, never through a link.
LONG SaveFile(const std::string& path, const std::string& target, const std::string& text,
              std::optional<mode_t> mode) {
    std::string temporary = target + ".tmp";
    unlink(temporary.c_str());
    UniqueFd file(open(temporary.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
    if (!file.valid()) return ReportWriteFailure(path, "cannot create " + temporary + ": ", errno);
    bool written = (!mode || fchmod(file.get(), *mode) == 0) && WriteAll(file.get(), text) &&
                   fsync(file.get()) == 0;
    int error = errno;
    if (close(file.release()) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(temporary.c_str());
        return ReportWriteFailure(path, "", error);
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        unlink(temporary.c_str());
        return ReportWriteFailure(path, "", error);
    }
    SyncFolder(target);
    return ERROR_SUCCESS;
}

LONG ReportNoLocation() {
    ReportProblemOnce(
        "cannot find the settings file: neither QOZCAL_REGISTRY, XDG_STATE_HOME nor a home folder "
        "is set");
    return ERROR_REGISTRY_IO_FAILED;
}

// Makes the folders of a path the user named, as given.
LONG MakeNamedFolders(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    if (error) return ReportWriteFailure(path, "cannot create its folder: ", error.value());
    return ERROR_SUCCESS;
}

// Opens the lock file, never through a link, and waits a bounded time for
// the lock; fd receives it.
LONG TakeLock(const std::string& path, const std::string& lockPath, UniqueFd& lock) {
    lock = UniqueFd(open(lockPath.c_str(),
                         O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!lock.valid()) {
        int error = errno;
        struct stat link {};
        bool isLink =
            error == ELOOP || (lstat(lockPath.c_str(), &link) == 0 && S_ISLNK(link.st_mode));
        std::string why = isLink ? "it is a symbolic link" : std::strerror(error);
        return ReportWriteRefusal(path, "cannot open the lock file " + lockPath + ": " + why,
                                  ErrorCodeFor(error));
    }
    struct stat status {};
    if (fstat(lock.get(), &status) != 0) return ReportWriteFailure(path, "", errno);
    if (!S_ISREG(status.st_mode))
        return ReportWriteRefusal(path, "the lock file " + lockPath + " is not a regular file",
                                  ERROR_ACCESS_DENIED);
    switch (LockFileWithin(lock.get(), kSettingsLockPatience)) {
        case LockWait::Locked:
            return ERROR_SUCCESS;
        case LockWait::Busy:
            return ReportWriteRefusal(
                path,
                "another process has kept " + lockPath + " locked for more than " +
                    std::to_string(kSettingsLockPatience.count() / 1000) + " s",
                ERROR_TIMEOUT);
        case LockWait::Failed:
            break;
    }
    return ReportWriteFailure(path, "cannot lock " + lockPath + ": ", errno);
}

}  // namespace

LONG ReadRegistryFile(Registry& registry) {
    RegistryLocation location = FindRegistryFile();
    if (location.path.empty()) return ReportNoLocation();
    if (!location.defaultFolder.empty()) {
        CheckedFolder folder =
            CheckPrivateFolder(location.defaultFolder, FolderPrivacy::NotWritable, false);
        if (folder.error == ENOENT) {
            registry = Registry{};
            return ERROR_SUCCESS;
        }
        if (!folder.problem.empty()) {
            ReportProblemOnce("cannot read settings file " + location.path + ": " +
                              UnsafeFolder(folder, location.defaultFolder));
            return ERROR_ACCESS_DENIED;
        }
    }
    return LoadFile(location.path, registry, nullptr);
}

LONG ChangeRegistryFile(const std::function<LONG(Registry& registry, bool& changed)>& change) {
    RegistryLocation location = FindRegistryFile();
    const std::string& path = location.path;
    if (path.empty()) return ReportNoLocation();
    if (location.defaultFolder.empty()) {
        if (LONG status = MakeNamedFolders(path)) return status;
    } else {
        CheckedFolder folder =
            CheckPrivateFolder(location.defaultFolder, FolderPrivacy::NotWritable, true);
        if (!folder.problem.empty())
            return ReportWriteRefusal(path, UnsafeFolder(folder, location.defaultFolder),
                                      ERROR_ACCESS_DENIED);
    }

    const std::string target = ResolveLinks(path);
    UniqueFd lock;
    if (LONG status = TakeLock(path, target + ".lock", lock)) return status;

    Registry registry;
    std::optional<mode_t> mode;
    if (LONG status = LoadFile(path, registry, &mode)) return status;
    bool changed = false;
    if (LONG status = change(registry, changed)) return status;
    if (!changed) return ERROR_SUCCESS;
    std::optional<std::string> text = FormatRegistryWithin(registry, kLargestSettingsFile);
    if (!text)
        return ReportWriteRefusal(path, "the new contents would be larger than " + kLimitText,
                                  ERROR_REGISTRY_IO_FAILED);
    if (std::optional<std::string> difference = ReadBackDifference(registry, *text)) {
        // Never replace a readable file with one that reads back otherwise.
        return ReportWriteRefusal(path, *difference, ERROR_REGISTRY_IO_FAILED);
    }
    return SaveFile(path, target, *text, mode);
}

}  // namespace qoz::host
