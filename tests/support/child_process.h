// Runs other programs for tests and benchmarks (the simulator, qozcal-listen,
// Xvfb, xdotool), or a function in a forked copy of this process. Standard
// output and error go to files, so nothing a child prints can block, and
// every wait has a bound.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ChildLaunch {
    std::vector<std::string> argv{};    // argv[0] is the program's path, or else
    std::function<int()> function{};    // runs in the fork and gives the exit status
    std::filesystem::path directory{};  // empty: this one
    std::vector<std::pair<std::string, std::string>> setEnvironment{};
    std::vector<std::string> unsetEnvironment{};
    std::filesystem::path outputPath{};  // empty: /dev/null, or captured by RunChild
    std::filesystem::path errorPath{};   // empty: /dev/null, or captured by RunChild
    int errorDescriptor = -1;            // when set, standard error is this instead of errorPath
    // As user and group 65534 when the test runs as root, so that permission
    // bits apply: a second user of the machine, with a home folder of its own
    // (HOME; XDG_RUNTIME_DIR and XDG_STATE_HOME unset unless set above). The
    // build tree may sit below a folder only its owner can enter, so such a
    // child runs a copy of the program from a folder anyone may enter.
    bool unprivileged = false;
};

struct ChildProcess {
    pid_t pid = -1;
    std::chrono::steady_clock::time_point began;
    std::filesystem::path programCopyFolder;
    std::filesystem::path homeFolder;  // an unprivileged child's
    // Known once it has ended:
    std::chrono::milliseconds elapsed{0};
    long peakKilobytes = 0;  // its largest resident set
};

// The program's path, looked up on the PATH as a shell would.
std::optional<std::string> FindProgram(const std::string& name);

ChildProcess StartChild(const ChildLaunch& launch);

// The user and group an unprivileged child runs as.
constexpr uid_t kUnprivilegedUser = 65534;

// True once it has ended, though not yet reaped; also when it never started.
bool ChildEnded(const ChildProcess& child);

// The child's exit status; -1 when it died of a signal or did not end in time
// (it is killed then).
int WaitChild(ChildProcess& child, std::chrono::milliseconds patience);

// Kills a child that is still running and reaps it. True when it was still
// running, false when it had ended by itself.
bool StopChild(ChildProcess& child);

struct ChildResult {
    int status = -1;
    std::string output;
    std::string error;
    std::chrono::milliseconds elapsed{0};
    long peakKilobytes = 0;
};

// Starts, waits and collects what it printed and what it cost.
ChildResult RunChild(ChildLaunch launch, std::chrono::milliseconds patience);

// A forked child that does its part and then stays, keeping whatever it
// holds (locks, open files), until the object goes and kills it.
class StayingChild {
public:
    explicit StayingChild(std::function<bool()> act, bool unprivileged = false);
    ~StayingChild();
    StayingChild(const StayingChild&) = delete;
    StayingChild& operator=(const StayingChild&) = delete;

    // Once the constructor returns: whether act ran and succeeded.
    bool acted() const { return acted_; }
    ChildProcess& process() { return process_; }

private:
    ChildProcess process_;
    bool acted_ = false;
};
