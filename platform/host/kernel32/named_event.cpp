#include "platform/host/kernel32/named_event.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/common/utf16.h"
#include "platform/host/kernel32/event_folder.h"
#include "platform/host/kernel32/event_name.h"
#include "platform/host/kernel32/mapping_guard.h"
#include "platform/host/posix/patient_lock.h"
#include "platform/host/posix/problem_report.h"

namespace qoz::host {

namespace {

constexpr uint32_t kSegmentMagic = 0x514F5A45;
constexpr uint32_t kSegmentVersion = 3;
constexpr int kOpenAttempts = 100;

// Locks on single bytes of the event's file. The guard is held alone while
// a process opens or closes the event; every open holds the opener byte
// shared, so an exclusive lock on it can be had only when nobody has the
// event open, and its party byte (EventParty) alone; the kernel lets go of
// them all when a process dies.
constexpr off_t kGuardByte = 0;
constexpr off_t kOpenerByte = 1;

struct Segment {
    uint32_t magic;
    uint32_t version;
    uint32_t size;
    uint32_t reserved;
    EventState state;
};

std::string ModeText(mode_t mode) {
    char text[16];
    std::snprintf(text, sizeof text, "mode %04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Why an event file that was opened is not one this user made for itself;
// empty when it is.
std::string ForeignFileProblem(const struct stat& status) {
    if (!S_ISREG(status.st_mode)) return "it is not a regular file";
    if (status.st_uid != geteuid()) return "it belongs to user " + std::to_string(status.st_uid);
    if ((status.st_mode & 077) != 0) return "others may use it (" + ModeText(status.st_mode) + ")";
    return {};
}

std::string SegmentDamage(const Segment& segment) {
    if (segment.magic != kSegmentMagic) return "it is damaged (bad magic number)";
    if (segment.version != kSegmentVersion)
        return "it is damaged or of another version (version " + std::to_string(segment.version) +
               ")";
    if (segment.size != sizeof(Segment)) return "it is damaged (bad layout size)";
    return {};
}

void InitSegment(Segment& segment, bool manualReset, bool initialState) {
    std::memset(static_cast<void*>(&segment), 0, sizeof segment);
    InitEventState(segment.state, manualReset, initialState);
    segment.size = sizeof(Segment);
    segment.version = kSegmentVersion;
    segment.magic = kSegmentMagic;
}

// Removes the file at path when it is still the one fd has open.
void RemoveIfSame(int folder, const char* name, int fd) {
    struct stat open {
    }, listed{};
    if (fstat(fd, &open) != 0 || open.st_nlink == 0) return;
    if (fstatat(folder, name, &listed, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (open.st_dev == listed.st_dev && open.st_ino == listed.st_ino) unlinkat(folder, name, 0);
}

void RemoveAbandonedIn(int folder) {
    int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listing >= 0 ? fdopendir(listing) : nullptr;
    if (entries == nullptr) {
        if (listing >= 0) close(listing);
        return;
    }
    while (dirent* entry = readdir(entries)) {
        if (std::strncmp(entry->d_name, kEventFilePrefix, sizeof kEventFilePrefix - 1) != 0) continue;
        UniqueFd fd(
            openat(folder, entry->d_name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat status {};
        if (!fd.valid() || fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
            status.st_uid != geteuid())
            continue;
        if (TryLockByte(fd.get(), kGuardByte, F_WRLCK) &&
            TryLockByte(fd.get(), kOpenerByte, F_WRLCK))
            RemoveIfSame(folder, entry->d_name, fd.get());
    }
    closedir(entries);
}

// Takes a party slot no other open holds, starting from a place of this
// process's own so that a slot just given up is seldom taken again at once.
// Called with the guard held; 0 when every slot is taken.
uint32_t ClaimPartySlot(int fd) {
    uint32_t first = static_cast<uint32_t>(getpid()) % kEventParties;
    for (uint32_t step = 0; step < kEventParties; ++step) {
        uint32_t slot = (first + step) % kEventParties + 1;
        if (TryLockByte(fd, EventParty::firstByte + slot, F_WRLCK)) return slot;
    }
    return 0;
}

// Makes the file a fresh event's size with its blocks allocated, so that
// a full file system is an error here rather than a signal at the first
// touch of the memory.
bool ReserveSpace(int fd) {
    if (ftruncate(fd, sizeof(Segment)) != 0) return false;
    int error = posix_fallocate(fd, 0, sizeof(Segment));
    errno = error;
    return error == 0;
}

EventOpening Outcome(EventOpenStatus status, int error = 0) {
    EventOpening opening;
    opening.status = status;
    opening.error = error;
    return opening;
}

// Tells the user why the event cannot be used, once for each kind of trouble.
EventOpening Refuse(const std::string& label, const std::string& path, EventOpenStatus status,
                    const std::string& why, int error = 0) {
    ReportEventTrouble(label, path, static_cast<int>(status), why);
    return Outcome(status, error);
}

}  // namespace

std::string WedgedEventText() {
    return "another process has kept it locked for more than " +
           std::to_string(kEventLockPatience.count() / 1000) + " s";
}

void ReportEventTrouble(const std::string& label, const std::string& path, int kind,
                        const std::string& why) {
    std::string subject = path.empty() ? "an unnamed event" : "event " + label + " (" + path + ")";
    ReportProblemOnce(path + '\n' + std::to_string(kind), subject + " cannot be used: " + why);
}

EventOpening OpenNamedEvent(std::u16string_view name, bool manualReset, bool initialState) {
    std::optional<std::string> objectName = EventObjectName(name);
    if (!objectName) return Outcome(EventOpenStatus::NameTooLong);
    EventFolder folder = OpenEventFolder();
    if (!folder.fd.valid()) return Outcome(EventOpenStatus::Unusable, EACCES);
    RemoveAbandonedIn(folder.fd.get());

    const std::string label = Label(name);
    const std::string path = folder.path + "/" + *objectName;
    const char* object = objectName->c_str();
    // A call that fails is told to the user too: the program would go on
    // without the event and never say so.
    auto failed = [&label, &path] {
        int error = errno;
        return Refuse(label, path, EventOpenStatus::Failed, std::strerror(error), error);
    };
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        const int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        UniqueFd fd(openat(folder.fd.get(), object, flags));
        if (!fd.valid() && errno == ENOENT) {
            fd = UniqueFd(openat(folder.fd.get(), object, flags | O_CREAT | O_EXCL, 0600));
            if (!fd.valid() && errno == EEXIST) continue;
            if (fd.valid()) fchmod(fd.get(), 0600);
        }
        if (!fd.valid()) {
            int error = errno;
            std::string why = error == ELOOP ? "it is a symbolic link" : std::strerror(error);
            return Refuse(label, path, EventOpenStatus::Unusable, why, error);
        }
        struct stat status {};
        if (fstat(fd.get(), &status) != 0) return failed();
        if (std::string why = ForeignFileProblem(status); !why.empty())
            return Refuse(label, path, EventOpenStatus::Unusable, why, EACCES);

        switch (LockByteWithin(fd.get(), kGuardByte, F_WRLCK, kEventLockPatience)) {
            case LockWait::Locked:
                break;
            case LockWait::Busy:
                return Refuse(label, path, EventOpenStatus::Wedged, WedgedEventText());
            case LockWait::Failed:
                return failed();
        }
        if (fstat(fd.get(), &status) != 0) return failed();
        if (status.st_nlink == 0) continue;  // its last user removed it before we locked it

        // Whatever a file that nobody has open holds (a creator that died
        // half way, an older layout, damage), it is made anew.
        bool inUse = !TryLockByte(fd.get(), kOpenerByte, F_WRLCK);
        if (inUse && static_cast<size_t>(status.st_size) != sizeof(Segment))
            return Refuse(label, path, EventOpenStatus::Damaged,
                          "it is damaged (its size is " + std::to_string(status.st_size) +
                              " bytes, not " + std::to_string(sizeof(Segment)) + ")");
        if (!inUse && !ReserveSpace(fd.get())) return failed();
        EventParty party{fd.get(), ClaimPartySlot(fd.get())};
        if (party.slot == 0)
            return Refuse(label, path, EventOpenStatus::Failed,
                          "more than " + std::to_string(kEventParties) + " opens of it at once");
        void* memory =
            mmap(nullptr, sizeof(Segment), PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
        if (memory == MAP_FAILED) return failed();
        if (!GuardMapping(memory, sizeof(Segment))) {
            munmap(memory, sizeof(Segment));
            errno = EMFILE;
            return failed();
        }
        Segment& segment = *static_cast<Segment*>(memory);

        std::string why;
        EventOpenStatus refusal = EventOpenStatus::Damaged;
        if (!inUse) {
            InitSegment(segment, manualReset, initialState);
        } else if (why = SegmentDamage(segment); why.empty()) {
            LockWatch watch;
            if (LockEventState(segment.state, watch, party) != EventResult::Done) {
                refusal = EventOpenStatus::Wedged;
                why = WedgedEventText();
            } else {
                if (const char* damage = EventStateDamage(segment.state))
                    why = std::string("it is damaged (") + damage + ")";
                UnlockEventState(segment.state);
            }
        }
        if (why.empty() && !TryLockByte(fd.get(), kOpenerByte, F_RDLCK)) {
            refusal = EventOpenStatus::Failed;
            why = std::strerror(errno);
        }
        if (MappingCut(memory)) why = "it is damaged (it was cut short)";
        if (!why.empty()) {
            UnguardMapping(memory);
            munmap(memory, sizeof(Segment));
            return Refuse(label, path, refusal, why);
        }
        UnlockByte(fd.get(), kGuardByte);

        EventOpening opening;
        opening.status = inUse ? EventOpenStatus::Opened : EventOpenStatus::Created;
        opening.mapping.state = &segment.state;
        opening.mapping.memory = memory;
        opening.mapping.size = sizeof(Segment);
        opening.mapping.party = party;
        opening.mapping.fd = fd.release();
        opening.mapping.opener = getpid();
        opening.mapping.path = path;
        opening.mapping.label = label;
        return opening;
    }
    errno = EAGAIN;  // other processes kept removing it under this one's hands
    return failed();
}

EventOpening CreateUnnamedEvent(bool manualReset, bool initialState) {
    void* memory = mmap(nullptr, sizeof(EventState), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return Outcome(EventOpenStatus::Failed, errno);
    EventState* state = new (memory) EventState;
    InitEventState(*state, manualReset, initialState);
    EventOpening opening;
    opening.status = EventOpenStatus::Created;
    opening.mapping.state = state;
    opening.mapping.memory = memory;
    opening.mapping.size = sizeof(EventState);
    opening.mapping.opener = getpid();
    return opening;
}

bool EventMappingIntact(const EventMapping& mapping) {
    struct stat status {};
    return mapping.fd < 0 ||
           (!MappingCut(mapping.memory) && fstat(mapping.fd, &status) == 0 &&
            static_cast<size_t>(status.st_size) >= mapping.size);
}

void CloseEventMapping(EventMapping& mapping) {
    if (mapping.memory == nullptr) return;
    // A fork child shares its parent's open of the file but is not counted
    // as an opener: it only lets go of its copy. The last opener removes the
    // file; if the guard cannot be had, a later open removes it.
    if (mapping.fd >= 0 && mapping.opener == getpid() &&
        LockByteWithin(mapping.fd, kGuardByte, F_WRLCK, kEventLockPatience) == LockWait::Locked) {
        UnlockByte(mapping.fd, kOpenerByte);
        UnlockByte(mapping.fd, EventParty::firstByte + mapping.party.slot);
        if (TryLockByte(mapping.fd, kOpenerByte, F_WRLCK)) {
            std::string folder = mapping.path.substr(0, mapping.path.rfind('/'));
            UniqueFd folderFd(
                open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            std::string name = mapping.path.substr(mapping.path.rfind('/') + 1);
            if (folderFd.valid()) RemoveIfSame(folderFd.get(), name.c_str(), mapping.fd);
        }
        UnlockByte(mapping.fd, kGuardByte);
    }
    if (mapping.fd >= 0) UnguardMapping(mapping.memory);
    munmap(mapping.memory, mapping.size);
    if (mapping.fd >= 0) close(mapping.fd);
    mapping = EventMapping{};
}

void RemoveAbandonedEvents() {
    EventFolder folder = OpenEventFolder();
    if (folder.fd.valid()) RemoveAbandonedIn(folder.fd.get());
}

}  // namespace qoz::host
