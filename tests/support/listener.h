// qozcal-listen beside a test, standing in for the touch driver. It is
// started with a ready file in the scratch folder and the constructor returns
// once it has both events open (or has ended, or 10 s have passed). What it
// prints goes to files in the scratch folder.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"

class Listener {
public:
    // wrapper, if given, is a command that runs the listener (its path and
    // options follow it).
    Listener(const ScratchEnvironment& scratch, const std::vector<std::string>& options,
             const std::vector<std::string>& wrapper = {});
    ~Listener() { StopChild(process_); }  // SIGKILL, wherever it is
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool ready() const { return ready_; }
    pid_t Pid() const { return process_.pid; }
    const std::filesystem::path& ReadyPath() const { return readyPath_; }

    // The next line it prints, without its line feed; "(nothing)" when none
    // comes in time.
    std::string NextLine(std::chrono::milliseconds patience = std::chrono::seconds(10));

    // Its exit status once it has ended, as WaitChild gives it.
    int Finish(std::chrono::milliseconds patience = std::chrono::seconds(30)) {
        return WaitChild(process_, patience);
    }

    std::string Output() const { return ReadWholeFile(outputPath_); }
    std::string Errors() const { return ReadWholeFile(errorPath_); }
    // What it printed after the lines NextLine took.
    std::string Rest() const { return Output().substr(taken_); }

private:
    ChildProcess process_;
    std::filesystem::path readyPath_;
    std::filesystem::path outputPath_;
    std::filesystem::path errorPath_;
    size_t taken_ = 0;
    bool ready_ = false;
};
