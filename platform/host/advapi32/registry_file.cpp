#include "platform/host/advapi32/registry_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/host/advapi32/registry_file_cache.h"
#include "platform/host/advapi32/settings_trouble.h"
#include "platform/host/posix/patient_lock.h"
#include "platform/host/posix/private_folder.h"
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
    ReportSettingsProblem("cannot read settings file " + path + ": " + std::strerror(error));
    return ErrorCodeFor(error);
}

LONG ReportWriteFailure(const std::string& path, const std::string& what, int error) {
    ReportSettingsProblem("cannot write settings file " + path + ": " + what + std::strerror(error) +
                      "; the file is left unchanged");
    return ErrorCodeFor(error);
}

LONG ReportWriteRefusal(const std::string& path, const std::string& why, LONG code) {
    ReportSettingsProblem("cannot write settings file " + path + ": " + why +
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
    ReportSettingsProblem("cannot read settings file " + path + ": it is larger than " + kLimitText +
                      "; the file is left unchanged");
    return ERROR_REGISTRY_CORRUPT;
}

// mode receives the file's permission bits when it exists. The file is
// read whole every time; bytes that were parsed before are not parsed again.
LONG LoadFile(const std::string& path, std::shared_ptr<const Registry>& registry,
              std::optional<mode_t>* mode) {
    UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid()) {
        if (errno != ENOENT) return ReportReadFailure(path, errno);
        registry = std::make_shared<Registry>();
        return ERROR_SUCCESS;
    }
    struct stat status {};
    if (fstat(file.get(), &status) != 0) return ReportReadFailure(path, errno);
    if (S_ISDIR(status.st_mode)) return ReportReadFailure(path, EISDIR);
    if (!S_ISREG(status.st_mode)) {
        ReportSettingsProblem("cannot read settings file " + path + ": not a regular file");
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (mode) *mode = status.st_mode & 07777;
    if (static_cast<uint64_t>(status.st_size) > kLargestSettingsFile) return ReportTooLarge(path);
    std::string text;
    if (LONG error = ReadBounded(path, file.get(), text)) {
        return error == ERROR_REGISTRY_CORRUPT ? ReportTooLarge(path) : error;
    }
    if ((registry = CachedRegistry(text))) return ERROR_SUCCESS;
    ParseResult parsed = ParseRegistry(text);
    if (parsed.error) {
        ReportSettingsProblem("cannot read settings file " + path + ", line " +
                          std::to_string(parsed.error->line) + ": " + parsed.error->reason +
                          "; the file is left unchanged");
        return ERROR_REGISTRY_CORRUPT;
    }
    auto model = std::make_shared<Registry>(std::move(parsed.registry));
    KeepRegistry(std::move(text), model);
    registry = std::move(model);
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

// The permission bits a new file gets: 0666 less the umask.
mode_t NewFileMode() {
    mode_t mask = umask(022);
    umask(mask);
    return 0666 & ~mask;
}

// Writes text beside target, the file the path leads to, and renames it
// over the file. The temporary file has a name of its own, made anew
// (mkstemp never follows a link), so nothing another process left or
// planted beside the file is in its way. The text written, with its model,
// is kept for the next call, which uses it only while the file holds it.
LONG SaveFile(const std::string& path, const std::string& target, std::string text,
              std::optional<mode_t> mode, std::shared_ptr<const Registry> written) {
    std::string temporary = target + ".tmp.XXXXXX";
    UniqueFd file(mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid())
        return ReportWriteFailure(path, "cannot create a temporary file beside it: ", errno);
    bool done = fchmod(file.get(), mode.value_or(NewFileMode())) == 0 &&
                WriteAll(file.get(), text) && fsync(file.get()) == 0 &&
                rename(temporary.c_str(), target.c_str()) == 0;
    if (!done) {
        int error = errno;
        unlink(temporary.c_str());
        return ReportWriteFailure(path, "", error);
    }
    KeepRegistry(std::move(text), std::move(written));
    SyncFolder(target);
    return ERROR_SUCCESS;
}

LONG ReportNoLocation() {
    ReportSettingsProblem(
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

LONG RefuseLockFile(const std::string& path, const std::string& lockPath, const std::string& why,
                    LONG code) {
    return ReportWriteRefusal(path, "cannot open the lock file " + lockPath + ": " + why, code);
}

// Opens the lock file, never through a link, and waits a bounded time for
// the lock; lock receives it. Only the user may open the file, so a lock on
// it is held by a process of the user's own: one that another user made is
// refused, and one that others may open is made private first.
LONG TakeLock(const std::string& path, const std::string& lockPath, UniqueFd& lock) {
    const int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    lock = UniqueFd(open(lockPath.c_str(), flags));
    if (!lock.valid() && errno == ENOENT)
        lock = UniqueFd(open(lockPath.c_str(), flags | O_CREAT | O_EXCL, 0600));
    if (!lock.valid()) {
        int error = errno;
        struct stat link {};
        bool isLink =
            error == ELOOP || (lstat(lockPath.c_str(), &link) == 0 && S_ISLNK(link.st_mode));
        return RefuseLockFile(path, lockPath, isLink ? "it is a symbolic link" : std::strerror(error),
                              ErrorCodeFor(error));
    }
    struct stat status {};
    if (fstat(lock.get(), &status) != 0) return ReportWriteFailure(path, "", errno);
    if (!S_ISREG(status.st_mode))
        return ReportWriteRefusal(path, "the lock file " + lockPath + " is not a regular file",
                                  ERROR_ACCESS_DENIED);
    if (status.st_uid != geteuid())
        return RefuseLockFile(path, lockPath,
                              "it belongs to user " + std::to_string(status.st_uid) +
                                  ", and only the user who writes the file may hold its lock",
                              ERROR_ACCESS_DENIED);
    if ((status.st_mode & 077) != 0 && fchmod(lock.get(), 0600) != 0)
        return ReportWriteFailure(path, "cannot make " + lockPath + " private: ", errno);
    switch (LockFileWithin(lock.get(), kSettingsLockPatience)) {
        case LockWait::Locked:
            return ERROR_SUCCESS;
        case LockWait::Busy:
            return ReportWriteRefusal(
                path,
                "another process of user " + std::to_string(status.st_uid) + " has kept " +
                    lockPath + " locked for more than " +
                    std::to_string(kSettingsLockPatience.count() / 1000) + " s",
                ERROR_TIMEOUT);
        case LockWait::Failed:
            break;
    }
    return ReportWriteFailure(path, "cannot lock " + lockPath + ": ", errno);
}

}  // namespace

LONG ReadRegistryFile(std::shared_ptr<const Registry>& registry) {
    RegistryLocation location = FindRegistryFile();
    if (location.path.empty()) return ReportNoLocation();
    if (!location.defaultFolder.empty()) {
        CheckedFolder folder =
            CheckPrivateFolder(location.defaultFolder, FolderPrivacy::NotWritable, false);
        if (folder.error == ENOENT) {
            registry = std::make_shared<Registry>();
            return ERROR_SUCCESS;
        }
        if (!folder.problem.empty()) {
            ReportSettingsProblem("cannot read settings file " + location.path + ": " +
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

    std::shared_ptr<const Registry> current;
    std::optional<mode_t> mode;
    if (LONG status = LoadFile(path, current, &mode)) return status;
    // The model is changed in place when nothing else in the process holds
    // it, else a copy.
    ForgetRegistry();
    Registry registry = current.use_count() == 1 ? std::move(const_cast<Registry&>(*current))
                                                 : Registry(*current);
    current.reset();
    bool changed = false;
    if (LONG status = change(registry, changed)) return status;
    if (!changed) return ERROR_SUCCESS;
    std::optional<std::string> text = FormatRegistryWithin(registry, kLargestSettingsFile);
    if (!text)
        return ReportWriteRefusal(path, "the new contents would be larger than " + kLimitText,
                                  ERROR_REGISTRY_IO_FAILED);
    auto written = std::make_shared<Registry>();
    if (std::optional<std::string> difference = ReadBackDifference(registry, *text, written.get())) {
        // Never replace a readable file with one that reads back otherwise.
        return ReportWriteRefusal(path, *difference, ERROR_REGISTRY_IO_FAILED);
    }
    registry = Registry();
    return SaveFile(path, target, std::move(*text), mode, std::move(written));
}

}  // namespace qoz::host
