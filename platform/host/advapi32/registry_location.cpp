#include "platform/host/advapi32/registry_location.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/host/posix/private_folder.h"
#include "platform/host/posix/user_folders.h"

namespace qoz::host {

namespace {

// As the kernel, give up after this many links in a row.
constexpr int kMostLinks = 40;

std::string& NamedFile() {
    static std::string path;
    return path;
}

}  // namespace

void UseSettingsFile(const std::string& path) { NamedFile() = path; }

RegistryLocation FindRegistryFile() {
    if (!NamedFile().empty()) return {NamedFile(), {}};
    const char* named = std::getenv("QOZCAL_REGISTRY");
    if (named && *named) return {named, {}};
    std::string state = StateHome();
    if (state.empty()) return {};
    return {state + "/qozcal/registry.reg", state + "/qozcal"};
}

std::string RegistryFilePath() { return FindRegistryFile().path; }

std::string ResolveLinks(const std::string& given) {
    std::string path = given;
    for (int link = 0; link < kMostLinks; ++link) {
        size_t slash = path.rfind('/');
        std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") return path;
        std::string realFolder = RealPath(folder);
        if (realFolder.empty()) return path;  // the folder's own error shows when it is used
        std::string file = realFolder + (realFolder == "/" ? "" : "/") + name;
        char target[PATH_MAX];
        ssize_t size = readlink(file.c_str(), target, sizeof target - 1);
        if (size < 0) return file;
        target[size] = 0;
        path = target[0] == '/' ? std::string(target) : realFolder + "/" + target;
    }
    return path;
}

}  // namespace qoz::host
