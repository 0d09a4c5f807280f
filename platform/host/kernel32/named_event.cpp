#include "platform/host/kernel32/named_event.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <new>

#include "platform/common/utf16.h"

namespace qoz::host {

namespace {

constexpr uint32_t kSegmentMagic = 0x514F5A45;
constexpr int kOpenerSlots = 128;
constexpr int kOpenAttempts = 100;

// How many handles each process has open, so the event can be renewed once
// all of them are gone, even when their processes died without closing.
struct Opener {
    int32_t pid;
    uint32_t handles;
};

// The shared-memory object. Its openers are guarded by flock on the
// object's file, which the kernel drops when a process dies.
struct Segment {
    uint32_t magic;
    uint32_t layoutSize;
    EventState state;
    Opener openers[kOpenerSlots];
};

const char kHexDigits[] = "0123456789ABCDEF";

void AppendEscape(std::string& out, unsigned value, int digits) {
    out += '%';
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kHexDigits[(value >> shift) & 0xF];
}

bool IsPlainAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// Every UTF-16 unit maps to text without '/', '.' or NUL, and different
// names to different texts: '%' starts an escape, and surrogates, which
// UTF-8 cannot carry one by one, are escaped too.
void AppendEventName(std::string& out, std::u16string_view name) {
    for (char16_t c : name) {
        bool escaped =
            c < 0x20 || c == 0x7F || c == u'/' || c == u'.' || c == u'%' || IsSurrogate(c);
        if (escaped) {
            AppendEscape(out, c, 4);
        } else {
            AppendUtf8(out, c);
        }
    }
}

void AppendNamespace(std::string& out, const char* space) {
    for (; space != nullptr && *space != 0; ++space) {
        unsigned char c = static_cast<unsigned char>(*space);
        if (IsPlainAscii(c)) {
            out += static_cast<char>(c);
        } else {
            AppendEscape(out, c, 2);
        }
    }
}

bool LockFile(int fd) {
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

void UnlockFile(int fd) { flock(fd, LOCK_UN); }

bool ProcessExists(int32_t pid) { return kill(pid, 0) == 0 || errno != ESRCH; }

// Under the file lock: forgets processes that no longer exist. Returns
// whether any opener remains.
bool PruneOpeners(Segment& segment) {
    bool any = false;
    for (Opener& opener : segment.openers) {
        if (opener.pid == 0) continue;
        if (opener.handles == 0 || !ProcessExists(opener.pid)) {
            opener = Opener{0, 0};
        } else {
            any = true;
        }
    }
    return any;
}

bool CountOpen(Segment& segment, pid_t pid) {
    Opener* empty = nullptr;
    for (Opener& opener : segment.openers) {
        if (opener.pid == pid) {
            ++opener.handles;
            return true;
        }
        if (opener.pid == 0 && empty == nullptr) empty = &opener;
    }
    if (empty == nullptr) return false;
    *empty = Opener{pid, 1};
    return true;
}

void CountClose(Segment& segment, pid_t pid) {
    for (Opener& opener : segment.openers) {
        if (opener.pid == pid && opener.handles > 0 && --opener.handles == 0) opener = Opener{0, 0};
    }
}

EventOpening Failure(int error) {
    EventOpening opening;
    opening.status = EventOpenStatus::Failed;
    opening.error = error;
    return opening;
}

// Under the file lock: makes the segment a live event and counts this
// process as one of its openers. Returns whether the event is new.
bool AdoptSegment(Segment& segment, bool manualReset, bool initialState, bool& isNew) {
    if (segment.magic != kSegmentMagic || segment.layoutSize != sizeof(Segment)) {
        // Fresh, or left half-made by a creator that died: nobody uses it.
        if (!InitEventState(segment.state, manualReset, initialState)) return false;
        for (Opener& opener : segment.openers) opener = Opener{0, 0};
        segment.layoutSize = sizeof(Segment);
        segment.magic = kSegmentMagic;
        isNew = true;
    } else {
        isNew = !PruneOpeners(segment);
        if (isNew && !RestartEventState(segment.state, manualReset, initialState)) return false;
    }
    return CountOpen(segment, getpid());
}

}  // namespace

std::optional<std::string> SharedEventObjectName(std::u16string_view name) {
    if (name.size() > kLongestEventName) return std::nullopt;
    std::string object = "/qozcal-event." + std::to_string(getuid()) + ".";
    AppendNamespace(object, getenv("QOZCAL_EVENT_NAMESPACE"));
    object += '.';
    AppendEventName(object, name);
    if (object.size() - 1 > NAME_MAX) return std::nullopt;
    return object;
}

EventOpening OpenNamedEvent(std::u16string_view name, bool manualReset, bool initialState) {
    std::optional<std::string> objectName = SharedEventObjectName(name);
    if (!objectName) {
        EventOpening opening;
        opening.status = EventOpenStatus::NameTooLong;
        return opening;
    }
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        int fd = shm_open(objectName->c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return Failure(errno);
        struct stat status;
        if (!LockFile(fd) || fstat(fd, &status) != 0) {
            int error = errno;
            close(fd);
            return Failure(error);
        }
        if (status.st_nlink == 0) {
            // Its last user closed it between our open and our lock.
            close(fd);
            continue;
        }
        if (static_cast<size_t>(status.st_size) < sizeof(Segment) &&
            ftruncate(fd, sizeof(Segment)) != 0) {
            int error = errno;
            close(fd);
            return Failure(error);
        }
        void* memory = mmap(nullptr, sizeof(Segment), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (memory == MAP_FAILED) {
            int error = errno;
            close(fd);
            return Failure(error);
        }
        Segment& segment = *static_cast<Segment*>(memory);
        bool isNew = false;
        if (!AdoptSegment(segment, manualReset, initialState, isNew)) {
            munmap(memory, sizeof(Segment));
            close(fd);
            return Failure(ENOMEM);
        }
        UnlockFile(fd);

        EventOpening opening;
        opening.status = isNew ? EventOpenStatus::Created : EventOpenStatus::Opened;
        opening.mapping.state = &segment.state;
        opening.mapping.memory = memory;
        opening.mapping.size = sizeof(Segment);
        opening.mapping.fd = fd;
        opening.mapping.opener = getpid();
        opening.mapping.objectName = *objectName;
        return opening;
    }
    return Failure(EAGAIN);
}

EventOpening CreateUnnamedEvent(bool manualReset, bool initialState) {
    void* memory = mmap(nullptr, sizeof(EventState), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return Failure(errno);
    EventState* state = new (memory) EventState;
    if (!InitEventState(*state, manualReset, initialState)) {
        munmap(memory, sizeof(EventState));
        return Failure(ENOMEM);
    }
    EventOpening opening;
    opening.status = EventOpenStatus::Created;
    opening.mapping.state = state;
    opening.mapping.memory = memory;
    opening.mapping.size = sizeof(EventState);
    opening.mapping.opener = getpid();
    return opening;
}

void CloseEventMapping(EventMapping& mapping) {
    if (mapping.memory == nullptr) return;
    // A fork child shares its parent's mapping but is not counted as an
    // opener: it only lets go of its copy.
    if (mapping.fd >= 0 && mapping.opener == getpid() && LockFile(mapping.fd)) {
        Segment& segment = *static_cast<Segment*>(mapping.memory);
        CountClose(segment, mapping.opener);
        if (!PruneOpeners(segment)) shm_unlink(mapping.objectName.c_str());
        UnlockFile(mapping.fd);
    }
    munmap(mapping.memory, mapping.size);
    if (mapping.fd >= 0) close(mapping.fd);
    mapping = EventMapping{};
}

}  // namespace qoz::host
