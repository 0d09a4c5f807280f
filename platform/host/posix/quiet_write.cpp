#include "platform/host/posix/quiet_write.h"

#include <errno.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

namespace qoz::host {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
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
