#include "platform/host/posix/patient_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <functional>
#include <thread>

namespace qoz::host {

namespace {

using Clock = std::chrono::steady_clock;

// Calls attempt (which returns 0, or -1 with errno) until it succeeds, fails
// for another reason than the lock being held, or the patience runs out.
// The pause between attempts grows from 1 ms to 50 ms.
LockWait Retry(const std::function<int()>& attempt, std::chrono::milliseconds patience) {
    const Clock::time_point giveUp = Clock::now() + patience;
    std::chrono::milliseconds pause(1);
    for (;;) {
        if (attempt() == 0) return LockWait::Locked;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK && errno != EAGAIN && errno != EACCES) return LockWait::Failed;
        Clock::time_point now = Clock::now();
        if (now >= giveUp) return LockWait::Busy;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, giveUp - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

int SetByteLock(int fd, off_t byte, short type) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = byte;
    range.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &range);
}

}  // namespace

LockWait LockFileWithin(int fd, std::chrono::milliseconds patience) {
    return Retry([fd] { return flock(fd, LOCK_EX | LOCK_NB); }, patience);
}

LockWait LockByteWithin(int fd, off_t byte, short type, std::chrono::milliseconds patience) {
    return Retry([=] { return SetByteLock(fd, byte, type); }, patience);
}

bool TryLockByte(int fd, off_t byte, short type) { return SetByteLock(fd, byte, type) == 0; }

void UnlockByte(int fd, off_t byte) { SetByteLock(fd, byte, F_UNLCK); }

bool ByteLockedByOthers(int fd, off_t byte) {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = byte;
    range.l_len = 1;
    return fcntl(fd, F_OFD_GETLK, &range) != 0 || range.l_type != F_UNLCK;
}

}  // namespace qoz::host
