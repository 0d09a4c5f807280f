#include "tests/support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tests/support/scratch_environment.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void RedirectTo(const fs::path& path, int descriptor) {
    const char* target = path.empty() ? "/dev/null" : path.c_str();
    int file = open(target, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0) _exit(126);
    dup2(file, descriptor);
    close(file);
}

// Returns once the child has ended (without reaping it) or the deadline has
// passed; true when it ended. A pidfd wakes the wait the moment it ends.
bool AwaitEnd(const ChildProcess& child, Clock::time_point deadline) {
    int handle = static_cast<int>(syscall(SYS_pidfd_open, child.pid, 0));
    while (!ChildEnded(child) && Clock::now() < deadline) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd end{handle, POLLIN, 0};
        if (handle < 0 || poll(&end, 1, static_cast<int>(left.count())) < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (handle >= 0) close(handle);
    return ChildEnded(child);
}

// Reaps the ended child and notes what it cost; its wait status.
int Reap(ChildProcess& child) {
    int status = 0;
    rusage usage{};
    if (wait4(child.pid, &status, 0, &usage) != child.pid) status = -1;
    child.elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - child.began);
    child.peakKilobytes = usage.ru_maxrss;
    child.pid = -1;
    RemoveScratchFolder(child.programCopyFolder);
    RemoveScratchFolder(child.homeFolder);
    return status;
}

}  // namespace

bool ChildEnded(const ChildProcess& child) {
    siginfo_t info{};
    return child.pid <= 0 ||
           waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
           info.si_pid == child.pid;
}

std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    for (size_t at = 0; at <= folders.size();) {
        size_t end = folders.find(':', at);
        if (end == std::string::npos) end = folders.size();
        fs::path candidate = fs::path(folders.substr(at, end - at)) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
        at = end + 1;
    }
    return std::nullopt;
}

ChildProcess StartChild(const ChildLaunch& launch) {
    ChildProcess child;
    std::vector<std::string> arguments = launch.argv;
    bool dropPrivileges = launch.unprivileged && geteuid() == 0;
    if (dropPrivileges && !arguments.empty()) {
        child.programCopyFolder = MakeScratchFolder("program");
        fs::path program = child.programCopyFolder / fs::path(arguments[0]).filename();
        std::error_code failed;
        fs::copy_file(arguments[0], program, failed);
        chmod(child.programCopyFolder.c_str(), 0755);
        arguments[0] = program.string();
    }
    if (dropPrivileges) {
        child.homeFolder = MakeScratchFolder("home");
        if (chown(child.homeFolder.c_str(), kUnprivilegedUser, kUnprivilegedUser) != 0)
            RemoveScratchFolder(child.homeFolder);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    // What this process's stdio holds unwritten would otherwise be written
    // a second time by a forked function, into its own output.
    std::fflush(nullptr);
    pid_t parent = getpid();
    child.began = Clock::now();
    child.pid = fork();
    if (child.pid < 0) {
        RemoveScratchFolder(child.programCopyFolder);
        RemoveScratchFolder(child.homeFolder);
    }
    if (child.pid != 0) return child;
    if (dropPrivileges) {
        setenv("HOME", child.homeFolder.c_str(), 1);
        unsetenv("XDG_RUNTIME_DIR");
        unsetenv("XDG_STATE_HOME");
    }
    for (const auto& [name, value] : launch.setEnvironment) setenv(name.c_str(), value.c_str(), 1);
    for (const std::string& name : launch.unsetEnvironment) unsetenv(name.c_str());
    int input = open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    RedirectTo(launch.outputPath, STDOUT_FILENO);
    if (launch.errorDescriptor >= 0) {
        dup2(launch.errorDescriptor, STDERR_FILENO);
    } else {
        RedirectTo(launch.errorPath, STDERR_FILENO);
    }
    if (!launch.directory.empty() && chdir(launch.directory.c_str()) != 0) _exit(126);
    if (dropPrivileges && (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedUser) != 0 ||
                           setuid(kUnprivilegedUser) != 0))
        _exit(125);
    // Killed with the test that started it, so that a killed test leaves no
    // child behind (and none holding its scratch folder's lock). Set after
    // the change of user, which clears it.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(125);
    if (launch.function) {
        int status = launch.function();
        std::fflush(nullptr);
        _exit(status);
    }
    execv(argv[0], argv.data());
    _exit(127);
}

int WaitChild(ChildProcess& child, std::chrono::milliseconds patience) {
    if (child.pid <= 0) return -1;
    if (!AwaitEnd(child, Clock::now() + patience)) {
        StopChild(child);
        return -1;
    }
    int status = Reap(child);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool StopChild(ChildProcess& child) {
    if (child.pid <= 0) return false;
    kill(child.pid, SIGKILL);
    int status = Reap(child);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

ChildResult RunChild(ChildLaunch launch, std::chrono::milliseconds patience) {
    fs::path folder = MakeScratchFolder("child");
    if (folder.empty()) return {};
    if (launch.outputPath.empty()) launch.outputPath = folder / "stdout";
    if (launch.errorPath.empty()) launch.errorPath = folder / "stderr";
    ChildProcess child = StartChild(launch);
    ChildResult result;
    result.status = WaitChild(child, patience);
    result.output = ReadWholeFile(launch.outputPath);
    result.error = ReadWholeFile(launch.errorPath);
    result.elapsed = child.elapsed;
    result.peakKilobytes = child.peakKilobytes;
    RemoveScratchFolder(folder);
    return result;
}

StayingChild::StayingChild(std::function<bool()> act, bool unprivileged) {
    int done[2];
    if (pipe(done) != 0) return;
    process_ = StartChild({.function =
                               [&act, &done] {
                                   char ok = act() ? 1 : 0;
                                   if (write(done[1], &ok, 1) != 1) return 1;
                                   pause();
                                   return 0;
                               },
                           .unprivileged = unprivileged});
    close(done[1]);
    char ok = 0;
    acted_ = read(done[0], &ok, 1) == 1 && ok == 1;
    close(done[0]);
}

StayingChild::~StayingChild() { StopChild(process_); }
