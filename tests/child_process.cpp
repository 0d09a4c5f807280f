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

ChildProcess StartChild(const ChildSpec& spec) {
    std::vector<char*> argv;
    std::vector<std::string> arguments = spec.argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    ChildProcess child;
    child.pid = fork();
    if (child.pid != 0) return child;
    if (!spec.directory.empty() && chdir(spec.directory.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : spec.setEnvironment) setenv(name.c_str(), value.c_str(), 1);
    for (const std::string& name : spec.unsetEnvironment) unsetenv(name.c_str());
    int input = open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    RedirectTo(spec.outputPath, STDOUT_FILENO);
    RedirectTo(spec.errorPath, STDERR_FILENO);
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

ChildResult RunChild(ChildSpec spec, std::chrono::milliseconds patience) {
    char pattern[] = "/tmp/qozcal-child-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return {};
    std::filesystem::path folder = pattern;
    if (spec.outputPath.empty()) spec.outputPath = folder / "stdout";
    if (spec.errorPath.empty()) spec.errorPath = folder / "stderr";
    ChildProcess child = StartChild(spec);
    ChildResult result;
    result.status = WaitChild(child, patience);
    result.output = ReadWholeFile(spec.outputPath);
    result.error = ReadWholeFile(spec.errorPath);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return result;
}
