#include "tests/support/listener.h"

#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

Listener::Listener(const ScratchEnvironment& scratch, const std::vector<std::string>& options,
                   const std::vector<std::string>& wrapper) {
    static int started = 0;
    std::string name = "listener-" + std::to_string(++started);
    readyPath_ = scratch.dir() / (name + ".ready");
    const fs::path& readyPath = readyPath_;
    outputPath_ = scratch.dir() / (name + ".out");
    errorPath_ = scratch.dir() / (name + ".err");
    ChildLaunch launch;
    launch.argv = wrapper;
    launch.argv.insert(launch.argv.end(), {QOZCAL_LISTEN_PATH, "--ready", readyPath.string()});
    launch.argv.insert(launch.argv.end(), options.begin(), options.end());
    launch.outputPath = outputPath_;
    launch.errorPath = errorPath_;
    process_ = StartChild(launch);
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!fs::exists(readyPath) && !ChildEnded(process_) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ready_ = fs::exists(readyPath);
}

std::string Listener::NextLine(std::chrono::milliseconds patience) {
    for (auto deadline = Clock::now() + patience;;) {
        bool ended = ChildEnded(process_);  // before reading, so that no last line is missed
        std::string rest = Rest();
        size_t end = rest.find('\n');
        if (end != std::string::npos) {
            taken_ += end + 1;
            return rest.substr(0, end);
        }
        if (ended || Clock::now() > deadline) return "(nothing)";
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}
