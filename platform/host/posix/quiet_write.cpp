#include "platform/host/posix/quiet_write.h"

#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "platform/host/posix/quit_signals.h"

namespace qoz::host {

namespace {

using Clock = std::chrono::steady_clock;

// The output (device and inode) that last took nothing for the patience.
std::mutex stallLock;
std::pair<dev_t, ino_t> stalledOutput{0, 0};

bool Stalled(const struct stat& status) {
    std::lock_guard<std::mutex> hold(stallLock);
    return stalledOutput == std::pair(status.st_dev, status.st_ino);
}

void NoteStall(const struct stat& status, bool stalled) {
    std::lock_guard<std::mutex> hold(stallLock);
    std::pair<dev_t, ino_t> output(status.st_dev, status.st_ino);
    if (stalled) {
        stalledOutput = output;
    } else if (stalledOutput == output) {
        stalledOutput = {0, 0};
    }
}

// Waits until fd can take bytes (or has failed: the write then tells how),
// at most until the deadline, and never past a request to quit: the quit
// signals are let in only inside the wait, so none slips by unseen.
bool AwaitWritable(int fd, Clock::time_point deadline) {
    sigset_t quit;
    QuitSignals(&quit);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &quit, &previous);
    bool writable = false;
    while (!QuitRequested()) {
        auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
        auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec wait{static_cast<time_t>(nanoseconds / 1000000000),
                      static_cast<long>(nanoseconds % 1000000000)};
        pollfd output{fd, POLLOUT, 0};
        int ready = ppoll(&output, 1, &wait, &previous);
        if (ready > 0) writable = true;
        if (ready >= 0 || errno != EINTR) break;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return writable;
}

bool WriteAll(int fd, std::string_view bytes) {
    struct stat status {};
    if (fstat(fd, &status) != 0) return false;
    // A regular file takes what it is given. A socket is written without
    // waiting; a pipe or terminal once it can take bytes, and no more than a
    // pipe takes in one piece, so no write blocks.
    const bool file = S_ISREG(status.st_mode);
    const bool socket = S_ISSOCK(status.st_mode);
    const Clock::time_point deadline =
        Stalled(status) ? Clock::now() : Clock::now() + kWritePatience;
    while (!bytes.empty()) {
        if (!file && !socket && !AwaitWritable(fd, deadline)) break;
        size_t piece = file ? bytes.size() : std::min(bytes.size(), size_t{PIPE_BUF});
        ssize_t written = socket ? send(fd, bytes.data(), piece, MSG_DONTWAIT | MSG_NOSIGNAL)
                                 : write(fd, bytes.data(), piece);
        if (written > 0) {
            bytes.remove_prefix(static_cast<size_t>(written));
            continue;
        }
        if (written == 0) errno = EIO;
        if (written == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
        if (socket && !AwaitWritable(fd, deadline)) break;
    }
    if (bytes.empty()) {
        NoteStall(status, false);
        return true;
    }
    bool quit = QuitRequested();
    if (!quit) NoteStall(status, true);
    errno = quit ? EINTR : EAGAIN;
    return false;
}

}  // namespace

bool WriteQuietly(int fd, std::string_view bytes) {
    // SIGPIPE is blocked for this thread while it writes. One that the write
    // raised is taken back before the mask is restored; one that was already
    // pending for another reason is left alone.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);

    bool written = WriteAll(fd, bytes);
    int error = errno;
    if (!written && error == EPIPE && !alreadyPending) {
        timespec noWait{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {}
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

}  // namespace qoz::host
