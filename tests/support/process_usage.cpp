#include "tests/support/process_usage.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// Fields 14 and 15 of /proc/PID/stat, after the parenthesised command name
// (which may itself hold spaces and parentheses).
std::optional<long> CpuTicks(const fs::path& statFile) {
    std::ifstream in(statFile);
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(nameEnd + 1));
    std::string field;
    long user = 0, system = 0;
    for (int number = 3; number <= 13; ++number) fields >> field;
    if (!(fields >> user >> system)) return std::nullopt;
    return user + system;
}

long VoluntarySwitches(const fs::path& statusFile) {
    std::ifstream in(statusFile);
    const std::string label = "voluntary_ctxt_switches:";
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, label.size(), label) == 0) return std::stol(line.substr(label.size()));
    return 0;
}

}  // namespace

std::optional<ProcessUsage> ReadProcessUsage(pid_t pid) {
    fs::path process = fs::path("/proc") / std::to_string(pid);
    std::optional<long> ticks = CpuTicks(process / "stat");
    if (!ticks) return std::nullopt;
    ProcessUsage usage;
    usage.cpu = std::chrono::milliseconds(*ticks * 1000 / sysconf(_SC_CLK_TCK));
    std::error_code failed;
    for (const fs::directory_entry& task : fs::directory_iterator(process / "task", failed))
        usage.wakeups += VoluntarySwitches(task.path() / "status");
    return usage;
}

ProcessUsage operator-(const ProcessUsage& later, const ProcessUsage& earlier) {
    return {later.cpu - earlier.cpu, later.wakeups - earlier.wakeups};
}
