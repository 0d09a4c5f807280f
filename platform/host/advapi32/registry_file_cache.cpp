#include "platform/host/advapi32/registry_file_cache.h"

#include <mutex>
#include <utility>

namespace qoz::host {

namespace {

struct Kept {
    std::mutex lock;
    std::string text;
    std::shared_ptr<const Registry> registry;
};

Kept& TheKept() {
    static Kept kept;
    return kept;
}

}  // namespace

std::shared_ptr<const Registry> CachedRegistry(std::string_view text) {
    Kept& kept = TheKept();
    std::lock_guard<std::mutex> hold(kept.lock);
    if (kept.registry && kept.text == text) return kept.registry;
    return nullptr;
}

void KeepRegistry(std::string text, std::shared_ptr<const Registry> registry) {
    Kept& kept = TheKept();
    std::shared_ptr<const Registry> dropped;  // freed outside the lock
    std::lock_guard<std::mutex> hold(kept.lock);
    dropped = std::exchange(kept.registry, std::move(registry));
    kept.text = std::move(text);
}

void ForgetRegistry() { KeepRegistry({}, nullptr); }

}  // namespace qoz::host
