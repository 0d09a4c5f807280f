// Memory mapped from a file that another process of the user could cut
// short. Touching it past the file's end would raise SIGBUS; under the
// guard, the mapping is replaced by zeroed memory of this process's own
// instead and marked cut, so the access goes on and the next check of the
// mapping finds it damaged.
#pragma once

#include <cstddef>

namespace qoz::host {

// Before the memory is first touched. False when too many are guarded.
bool GuardMapping(void* memory, size_t size);
// Before the memory is unmapped.
void UnguardMapping(void* memory);
// Whether the file was found cut short under the mapping.
bool MappingCut(const void* memory);

}  // namespace qoz::host
