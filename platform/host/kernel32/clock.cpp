#include "platform/host/kernel32/clock.h"

#include "platform/host/posix/quit_signals.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qoz::host {

namespace {

bool virtualTime = false;
uint64_t virtualNow = 0;
const auto realStart = std::chrono::steady_clock::now();

}  // namespace

void UseVirtualTime(bool enabled) { virtualTime = enabled; }

bool UsingVirtualTime() { return virtualTime; }

uint64_t NowMilliseconds() {
    if (virtualTime) return virtualNow;
    auto elapsed = std::chrono::steady_clock::now() - realStart;
    return (uint64_t)std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

void WaitMilliseconds(uint64_t milliseconds) {
    if (virtualTime) {
        virtualNow += milliseconds;
        return;
    }
    // In short steps, so that a request to quit ends the wait soon.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (auto now = std::chrono::steady_clock::now(); now < until && !QuitRequested();
         now = std::chrono::steady_clock::now())
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            until - now, std::chrono::milliseconds(20)));
}

}  // namespace qoz::host
