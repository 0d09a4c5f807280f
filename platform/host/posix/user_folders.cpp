#include "platform/host/posix/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace qoz::host {

namespace {

std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : "";
}

}  // namespace

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return found->pw_dir ? found->pw_dir : "";
}

std::string StateHome() {
    std::string state = AbsoluteVariable("XDG_STATE_HOME");
    if (!state.empty()) return state;
    std::string home = HomeFolder();
    return home.empty() ? home : home + "/.local/state";
}

std::string RuntimeHome() { return AbsoluteVariable("XDG_RUNTIME_DIR"); }

}  // namespace qoz::host
