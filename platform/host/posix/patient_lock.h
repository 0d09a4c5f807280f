// File locks taken with a bound on the wait: a holder that never lets go
// costs the patience given, never a hang.
#pragma once

#include <sys/types.h>

#include <chrono>

namespace qoz::host {

enum class LockWait {
    Locked,
    Busy,    // still held by someone else when the patience ran out
    Failed,  // the lock call itself failed; errno tells why
};

// An exclusive flock on the whole file.
LockWait LockFileWithin(int fd, std::chrono::milliseconds patience);

// An open-file-description lock (F_RDLCK or F_WRLCK) on one byte: it belongs
// to this open of the file, and the kernel drops it when the last descriptor
// of the open is closed, so also when its process dies.
LockWait LockByteWithin(int fd, off_t byte, short type, std::chrono::milliseconds patience);

// The same without waiting: true when taken.
bool TryLockByte(int fd, off_t byte, short type);
void UnlockByte(int fd, off_t byte);

// Whether another open of the file holds a lock on the byte (a failed check
// counts as held). Locks of fd's own open are not seen.
bool ByteLockedByOthers(int fd, off_t byte);

}  // namespace qoz::host
