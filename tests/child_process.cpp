#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "scratch_environment.h"

namespace {

void RedirectTo(const std::filesystem::path& path, int descriptor) {
    const char* target = path.empty() ? "/dev/null" : path.c_str();
    int file = open(target, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0) _exit(126);
    dup2(file, descriptor);
    close(file);
}

}  // namespace

ChildProcess StartChild(const ChildLaunch& launch) {
    std::vector<char*> argv;
    std::vector<std::string> arguments = launch.argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    ChildProcess child;
    child.pid = fork();
    if (child.pid != 0) return child;
    if (!launch.directory.empty() && chdir(launch.directory.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : launch.setEnvironment) setenv(name.c_str(), value.c_str(), 1);
    for (const std::string& name : launch.unsetEnvironment) unsetenv(name.c_str());
    int input = open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    RedirectTo(launch.outputPath, STDOUT_FILENO);
    RedirectTo(launch.errorPath, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
}

int WaitChild(ChildProcess& child, std::chrono::milliseconds patience) {
    if (child.pid <= 0) return -1;
    auto deadline = std::chrono::steady_clock::now() + patience;
    int status = 0;
    for (;;) {
        pid_t done = waitpid(child.pid, &status, WNOHANG);
        if (done == child.pid) break;
        if (done < 0 || std::chrono::steady_clock::now() > deadline) {
            StopChild(child);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    child.pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void StopChild(ChildProcess& child) {
    if (child.pid <= 0) return;
    kill(child.pid, SIGKILL);
    int status = 0;
    waitpid(child.pid, &status, 0);
    child.pid = -1;
}

ChildResult RunChild(ChildLaunch launch, std::chrono::milliseconds patience) {
    char pattern[] = "/tmp/qozcal-child-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return {};
    std::filesystem::path folder = pattern;
    if (launch.outputPath.empty()) launch.outputPath = folder / "stdout";
    if (launch.errorPath.empty()) launch.errorPath = folder / "stderr";
    ChildProcess child = StartChild(launch);
    ChildResult result;
    result.status = WaitChild(child, patience);
    result.output = ReadWholeFile(launch.outputPath);
    result.error = ReadWholeFile(launch.errorPath);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return result;
}
