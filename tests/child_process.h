// Runs other programs for tests: the simulator, qozcal-listen, Xvfb, xdotool.
// Standard output and error go to files, so nothing a child prints can block.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

struct ChildLaunch {
    std::vector<std::string> argv;  // argv[0] is the program's path
    std::filesystem::path directory;                              // empty: this one
    std::vector<std::pair<std::string, std::string>> setEnvironment;
    std::vector<std::string> unsetEnvironment;
    std::filesystem::path outputPath;  // empty: /dev/null
    std::filesystem::path errorPath;   // empty: /dev/null
};

struct ChildProcess {
    pid_t pid = -1;
};

ChildProcess StartChild(const ChildLaunch& launch);

// The child's exit status; -1 when it died of a signal or did not end in time
// (it is killed then).
int WaitChild(ChildProcess& child, std::chrono::milliseconds patience);

// Ends a child that is still running and reaps it.
void StopChild(ChildProcess& child);

struct ChildResult {
    int status = -1;
    std::string output;
    std::string error;
};

// Starts, waits and collects what it printed.
ChildResult RunChild(ChildLaunch launch, std::chrono::milliseconds patience);
