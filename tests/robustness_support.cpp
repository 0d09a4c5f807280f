#include "robustness_support.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

namespace fs = std::filesystem;

const TapList& TapsAtTheTargets() {
    static const TapList taps = {{25, 33}, {217, 33}, {217, 289}, {25, 289}, {121, 161}};
    return taps;
}

std::string CalibrationScript(const TapList& taps, bool withKey, int pauseMs) {
    std::string pause = "wait " + std::to_string(pauseMs) + "\n";
    std::string script = (withKey ? "key space\n" : "tap 200 16\n") + pause;
    for (const Pixel& tap : taps)
        script += "tap " + std::to_string(tap.first) + " " + std::to_string(tap.second) + "\n" + pause;
    return script;
}

std::string WriteScratchFile(const ScratchEnvironment& scratch, const std::string& name,
                             const std::string& text) {
    fs::path path = scratch.dir() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

ChildResult RunScript(const ScratchEnvironment& scratch, const std::string& scriptText,
                      const std::string& registry, const std::string& debugLog) {
    std::string script = WriteScratchFile(scratch, "run.pen", scriptText);
    return RunQozcal(scratch, {"--headless", "--virtual-time", "--registry",
                               registry.empty() ? scratch.registryPath().string() : registry,
                               "--debug-log",
                               debugLog.empty() ? scratch.debugLogPath().string() : debugLog,
                               "--script", script});
}

std::vector<std::string> FourSettings(const ScratchEnvironment& scratch) {
    return {SettingsText(scratch, "ScaleX"), SettingsText(scratch, "ScaleY"),
            SettingsText(scratch, "OffsetX"), SettingsText(scratch, "OffsetY")};
}

namespace {

void RedirectTo(const fs::path& path, int descriptor) {
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0) _exit(126);
    dup2(file, descriptor);
    close(file);
}

}  // namespace

MeasuredResult RunMeasured(const std::vector<std::string>& argv, const fs::path& directory,
                           bool unprivileged, std::chrono::milliseconds patience) {
    char pattern[] = "/tmp/qozcal-measured-XXXXXX";
    MeasuredResult measured;
    if (mkdtemp(pattern) == nullptr) return measured;
    fs::path folder = pattern;
    std::vector<std::string> arguments = argv;
    bool dropPrivileges = unprivileged && geteuid() == 0;
    if (dropPrivileges) {
        // The build tree may sit below a folder only its owner can enter:
        // the unprivileged child runs a copy of the program from here.
        fs::path program = folder / fs::path(argv[0]).filename();
        fs::copy_file(argv[0], program);
        fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
        arguments[0] = program.string();
    }
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    auto began = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        RedirectTo(folder / "stdout", STDOUT_FILENO);
        RedirectTo(folder / "stderr", STDERR_FILENO);
        if (chdir(directory.c_str()) != 0) _exit(126);
        if (dropPrivileges &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(125);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    auto deadline = began + patience;
    for (;;) {
        pid_t done = wait4(child, &status, WNOHANG, &usage);
        if (done == child) break;
        if (done < 0 || std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    measured.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - began);
    measured.peakKilobytes = usage.ru_maxrss;
    measured.result.status = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    measured.result.output = ReadWholeFile(folder / "stdout");
    measured.result.error = ReadWholeFile(folder / "stderr");
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return measured;
}
