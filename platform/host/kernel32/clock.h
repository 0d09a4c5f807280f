// The simulator's clock: real time by default, or a virtual clock on which
// Sleep and script waits take no wall time.
#pragma once

#include <cstdint>

namespace qoz::host {

void UseVirtualTime(bool enabled);
bool UsingVirtualTime();

// Milliseconds since the clock started.
uint64_t NowMilliseconds();

// Blocks the thread (real time; a request to quit ends it early) or moves
// the virtual clock on.
void WaitMilliseconds(uint64_t milliseconds);

}  // namespace qoz::host
