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
#include "platform/host/posix/patient_lock.h"
#include "platform/host/posix/problem_report.h"

namespace qoz::host {

namespace {

constexpr uint32_t kSegmentMagic = 0x514F5A45;
constexpr uint32_t kSegmentVersion = 2;
constexpr int kOpenAttempts = 100;
constexpr char kObjectPrefix[] = "event.";

// Locks on single bytes of the event's file. The guard is held alone while
// a process opens or closes the event; every open holds the opener byte
// shared, so an exclusive lock on it can be had only when nobody has the
// event open, and the kernel lets go of both when a process dies.
constexpr off_t kGuardByte = 0;
constexpr off_t kOpenerByte = 1;

struct Segment {
    uint32_t magic;
    uint32_t version;
    uint32_t size;
    uint32_t reserved;
    EventState state;
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

// The name as the user may read it in a message: control characters shown as '?'.
std::string Label(std::u16string_view name) {
    std::string label = Utf16ToUtf8(name);
    for (char& c : label) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return label;
}

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
        if (std::strncmp(entry->d_name, kObjectPrefix, sizeof kObjectPrefix - 1) != 0) continue;
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

std::optional<std::string> EventObjectName(std::u16string_view name) {
    if (name.size() > kLongestEventName) return std::nullopt;
    std::string object = kObjectPrefix;
    AppendNamespace(object, getenv("QOZCAL_EVENT_NAMESPACE"));
    object += '.';
    AppendEventName(object, name);
    if (object.size() > NAME_MAX) return std::nullopt;
    return object;
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
        if (!inUse && ftruncate(fd.get(), sizeof(Segment)) != 0) return failed();
        void* memory =
            mmap(nullptr, sizeof(Segment), PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
        if (memory == MAP_FAILED) return failed();
        Segment& segment = *static_cast<Segment*>(memory);

        std::string why;
        EventOpenStatus refusal = EventOpenStatus::Damaged;
        if (!inUse) {
            InitSegment(segment, manualReset, initialState);
        } else if (why = SegmentDamage(segment); why.empty()) {
            LockWatch watch;
            if (LockEventState(segment.state, watch) != EventResult::Done) {
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
        if (!why.empty()) {
            munmap(memory, sizeof(Segment));
            return Refuse(label, path, refusal, why);
        }
        UnlockByte(fd.get(), kGuardByte);

        EventOpening opening;
        opening.status = inUse ? EventOpenStatus::Opened : EventOpenStatus::Created;
        opening.mapping.state = &segment.state;
        opening.mapping.memory = memory;
        opening.mapping.size = sizeof(Segment);
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
           (fstat(mapping.fd, &status) == 0 && static_cast<size_t>(status.st_size) >= mapping.size);
}

void CloseEventMapping(EventMapping& mapping) {
    if (mapping.memory == nullptr) return;
    // A fork child shares its parent's open of the file but is not counted
    // as an opener: it only lets go of its copy. The last opener removes the
    // file; if the guard cannot be had, a later open removes it.
    if (mapping.fd >= 0 && mapping.opener == getpid() &&
        LockByteWithin(mapping.fd, kGuardByte, F_WRLCK, kEventLockPatience) == LockWait::Locked) {
        UnlockByte(mapping.fd, kOpenerByte);
        if (TryLockByte(mapping.fd, kOpenerByte, F_WRLCK)) {
            std::string folder = mapping.path.substr(0, mapping.path.rfind('/'));
            UniqueFd folderFd(
                open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            std::string name = mapping.path.substr(mapping.path.rfind('/') + 1);
            if (folderFd.valid()) RemoveIfSame(folderFd.get(), name.c_str(), mapping.fd);
        }
        UnlockByte(mapping.fd, kGuardByte);
    }
    munmap(mapping.memory, mapping.size);
    if (mapping.fd >= 0) close(mapping.fd);
    mapping = EventMapping{};
}

void RemoveAbandonedEvents() {
    EventFolder folder = OpenEventFolder();
    if (folder.fd.valid()) RemoveAbandonedIn(folder.fd.get());
}

}  // namespace qoz::host
