#include "tests/support/process_usage.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using std::chrono::microseconds;

namespace {

// The first field of a thread's schedstat: nanoseconds on a processor.
std::optional<microseconds> ScheduledTime(const fs::path& task) {
    std::ifstream in(task / "schedstat");
    long long nanoseconds = 0;
    if (!(in >> nanoseconds)) return std::nullopt;
    return microseconds(nanoseconds / 1000);
}

// Without schedstat: user and system time, fields 14 and 15 of stat, after
// the parenthesised command name (which may itself hold spaces).
std::optional<microseconds> TickedTime(const fs::path& task) {
    std::ifstream in(task / "stat");
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(nameEnd + 1));
    std::string field;
    long long user = 0, system = 0;
    for (int number = 3; number <= 13; ++number) fields >> field;
    if (!(fields >> user >> system)) return std::nullopt;
    return microseconds((user + system) * 1000000 / sysconf(_SC_CLK_TCK));
}

long VoluntarySwitches(const fs::path& task) {
    std::ifstream in(task / "status");
    const std::string label = "voluntary_ctxt_switches:";
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, label.size(), label) == 0) return std::stol(line.substr(label.size()));
    return 0;
}

}  // namespace

std::optional<ProcessUsage> ReadProcessUsage(pid_t pid) {
    fs::path process = fs::path("/proc") / std::to_string(pid);
    std::error_code failed;
    fs::directory_iterator tasks(process / "task", failed);
    if (failed) return std::nullopt;
    ProcessUsage usage;
    for (const fs::directory_entry& task : tasks) {
        std::optional<microseconds> cpu = ScheduledTime(task.path());
        if (!cpu) cpu = TickedTime(task.path());
        if (cpu) usage.cpu += *cpu;
        usage.wakeups += VoluntarySwitches(task.path());
    }
    return usage;
}

ProcessUsage operator-(const ProcessUsage& later, const ProcessUsage& earlier) {
    return {later.cpu - earlier.cpu, later.wakeups - earlier.wakeups};
}
