#include "platform/host/kernel32/mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace qoz::host {

namespace {

constexpr int kMostGuarded = 1024;

struct Guarded {
    std::atomic<uintptr_t> start{0};  // 0: a free entry
    std::atomic<size_t> size{0};
    std::atomic<bool> cut{false};
};

Guarded guarded[kMostGuarded];
struct sigaction previous {};
std::mutex entries;  // taking and giving back entries; the handler only reads

size_t PageRounded(size_t size) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (size + page - 1) / page * page;
}

void OnBusError(int signal, siginfo_t* info, void*) {
    uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Guarded& entry : guarded) {
        uintptr_t start = entry.start.load();
        size_t size = entry.size.load();
        if (start == 0 || address < start || address >= start + size) continue;
        void* replaced = mmap(reinterpret_cast<void*>(start), size, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (replaced != MAP_FAILED) {
            entry.cut.store(true);
            return;  // the access is made again, on the new memory
        }
    }
    // Not a guarded mapping: as if there were no guard.
    sigaction(SIGBUS, &previous, nullptr);
    if (info->si_code <= 0) raise(signal);  // sent, not raised by an access
}

Guarded* Find(const void* memory) {
    uintptr_t start = reinterpret_cast<uintptr_t>(memory);
    for (Guarded& entry : guarded)
        if (entry.start.load() == start) return &entry;
    return nullptr;
}

}  // namespace

bool GuardMapping(void* memory, size_t size) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previous);
    });
    std::lock_guard<std::mutex> hold(entries);
    for (Guarded& entry : guarded) {
        if (entry.start.load() != 0) continue;
        entry.cut.store(false);
        entry.size.store(PageRounded(size));
        entry.start.store(reinterpret_cast<uintptr_t>(memory));
        return true;
    }
    return false;
}

void UnguardMapping(void* memory) {
    std::lock_guard<std::mutex> hold(entries);
    if (Guarded* entry = Find(memory)) entry->start.store(0);
}

bool MappingCut(const void* memory) {
    std::lock_guard<std::mutex> hold(entries);
    Guarded* entry = Find(memory);
    return entry != nullptr && entry->cut.load();
}

}  // namespace qoz::host
