#include "platform/host/advapi32/registry_file_cache.h"

#include <mutex>
#include <utility>

namespace qoz::host {

namespace {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    timespec changed{};
};

bool operator==(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modified == b.modified && a.changed == b.changed;
}

FileIdentity IdentityOf(const struct stat& status) {
    return {status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

struct Kept {
    std::mutex lock;
    FileIdentity identity;
    std::shared_ptr<const Registry> registry;
};

Kept& TheKept() {
    static Kept kept;
    return kept;
}

}  // namespace

std::shared_ptr<const Registry> CachedRegistry(const struct stat& status) {
    Kept& kept = TheKept();
    std::lock_guard<std::mutex> hold(kept.lock);
    if (kept.registry && kept.identity == IdentityOf(status)) return kept.registry;
    return nullptr;
}

void KeepRegistry(const struct stat& status, std::shared_ptr<const Registry> registry) {
    Kept& kept = TheKept();
    std::shared_ptr<const Registry> dropped;  // freed outside the lock
    std::lock_guard<std::mutex> hold(kept.lock);
    dropped = std::exchange(kept.registry, std::move(registry));
    kept.identity = IdentityOf(status);
}

void ForgetRegistry() { KeepRegistry({}, nullptr); }

}  // namespace qoz::host
