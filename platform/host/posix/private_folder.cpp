#include "platform/host/posix/private_folder.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/host/posix/user_folders.h"

namespace qoz::host {

namespace {

std::string Mode(mode_t mode) {
    char text[16];
    std::snprintf(text, sizeof text, "mode %04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string Owner(uid_t owner) { return "user " + std::to_string(owner); }

bool MakeFolders(const std::string& path, int& error) {
    for (size_t end = 1; end <= path.size(); ++end) {
        if (end != path.size() && path[end] != '/') continue;
        if (mkdir(path.substr(0, end).c_str(), 0700) != 0 && errno != EEXIST) {
            error = errno;
            return false;
        }
    }
    return true;
}

std::string Parent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// Why a folder above the checked one lets others change what is below it;
// empty when it does not.
std::string AncestorProblem(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0)
        return "the folder " + path + " above it cannot be examined: " + std::strerror(errno);
    if (status.st_uid != 0 && status.st_uid != geteuid())
        return "the folder " + path + " above it belongs to " + Owner(status.st_uid);
    if ((status.st_mode & 022) != 0 && (status.st_mode & S_ISVTX) == 0)
        return "others may write to the folder " + path + " above it (" + Mode(status.st_mode) +
               ")";
    return {};
}

std::string OwnProblem(const struct stat& status, FolderPrivacy privacy) {
    if (!S_ISDIR(status.st_mode)) return "it is not a folder";
    if (status.st_uid != geteuid()) return "it belongs to " + Owner(status.st_uid);
    if (privacy == FolderPrivacy::Private && (status.st_mode & 077) != 0)
        return "others may use it (" + Mode(status.st_mode) + ")";
    if ((status.st_mode & 022) != 0) return "others may write to it (" + Mode(status.st_mode) + ")";
    return {};
}

std::string AncestorsProblem(const std::string& folder) {
    std::string home = RealPath(HomeFolder());
    bool belowHome = !home.empty() && home != "/" && folder.starts_with(home + "/");
    for (std::string above = Parent(folder);; above = Parent(above)) {
        std::string problem = AncestorProblem(above);
        if (!problem.empty()) return problem;
        if (above == "/" || (belowHome && above == home)) return {};
    }
}

}  // namespace

std::string RealPath(const std::string& path) {
    if (path.empty()) errno = ENOENT;
    char* real = path.empty() ? nullptr : realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string resolved = real;
    free(real);
    return resolved;
}

std::string FoldersAboveProblem(const std::string& folder) {
    for (std::string above = Parent(folder);; above = Parent(above)) {
        std::string problem = AncestorProblem(above);
        if (!problem.empty() || above == "/") return problem;
    }
}

CheckedFolder CheckPrivateFolder(const std::string& path, FolderPrivacy privacy, bool create) {
    CheckedFolder folder;
    auto fail = [&folder](int error) {
        folder.error = error;
        folder.problem = std::strerror(error);
        return std::move(folder);
    };
    struct stat status {};
    if (create && stat(path.c_str(), &status) != 0) {
        // Nothing is made inside a folder that others may change.
        std::string existing = Parent(path);
        while (existing != "/" && stat(existing.c_str(), &status) != 0) existing = Parent(existing);
        std::string real = RealPath(existing);
        if (real.empty()) return fail(errno);
        folder.problem = AncestorsProblem(real == "/" ? "/." : real + "/.");
        if (!folder.problem.empty()) return folder;
        if (!MakeFolders(path, folder.error)) return fail(folder.error);
    }
    folder.path = RealPath(path);
    if (folder.path.empty()) return fail(errno);
    UniqueFd fd(open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) return fail(errno);
    if (fstat(fd.get(), &status) != 0) return fail(errno);
    folder.problem = OwnProblem(status, privacy);
    if (folder.problem.empty()) folder.problem = AncestorsProblem(folder.path);
    if (folder.problem.empty()) folder.fd = std::move(fd);
    return folder;
}

}  // namespace qoz::host
