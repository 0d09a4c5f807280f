#include "platform/host/kernel32/thread_identity.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace qoz::host {

namespace {

struct ThreadStatus {
    bool found = false;
    char state = 0;  // R, S, D, Z (ended, not reaped), X (dead) ...
    uint64_t startTicks = 0;
};

// Reads /proc/TID/stat: the state is the field after the command's closing
// parenthesis, the start time the twentieth after it.
ThreadStatus ReadThreadStatus(int32_t tid) {
    ThreadStatus status;
    std::string path = "/proc/" + std::to_string(tid) + "/stat";
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return status;
    char text[2048];
    ssize_t size;
    do {
        size = read(fd, text, sizeof text - 1);
    } while (size < 0 && errno == EINTR);
    close(fd);
    if (size <= 0) return status;
    text[size] = 0;
    char* field = std::strrchr(text, ')');
    if (field == nullptr) return status;
    for (int index = 0; index < 20 && field != nullptr; ++index) {
        field = std::strchr(field + 1, ' ');
        if (field != nullptr && index == 0) status.state = field[1];
    }
    if (field == nullptr) return status;
    status.startTicks = std::strtoull(field + 1, nullptr, 10);
    status.found = true;
    return status;
}

bool HaveProc() {
    static const bool have = access("/proc/self/stat", R_OK) == 0;
    return have;
}

bool Ended(const ThreadStatus& status) { return status.state == 'Z' || status.state == 'X'; }

}  // namespace

ThreadIdentity CurrentThread() {
    thread_local ThreadIdentity self;
    int32_t tid = static_cast<int32_t>(gettid());
    if (self.tid != tid) {  // first use in this thread, or in a fork child
        self.tid = tid;
        self.startTicks = ReadThreadStatus(tid).startTicks;
    }
    return self;
}

bool ThreadRuns(int32_t tid) {
    if (tid <= 0 || tid > kLargestThreadId) return false;
    if (!HaveProc()) return kill(tid, 0) == 0 || errno == EPERM;
    ThreadStatus status = ReadThreadStatus(tid);
    return status.found && !Ended(status);
}

bool ThreadRuns(const ThreadIdentity& thread) {
    if (thread.tid <= 0 || thread.tid > kLargestThreadId) return false;
    if (!HaveProc()) return kill(thread.tid, 0) == 0 || errno == EPERM;
    ThreadStatus status = ReadThreadStatus(thread.tid);
    return status.found && !Ended(status) && status.startTicks == thread.startTicks;
}

}  // namespace qoz::host
