// The settings file on disk: reading it, and changing it atomically under a
// lock shared by every process of the user.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/host/advapi32/registry_location.h"
#include "platform/host/advapi32/registry_text.h"
#include "platform/platform.h"

namespace qoz::host {

// Far above any real settings file; a larger one is refused, never read.
constexpr size_t kLargestSettingsFile = 16 * 1024 * 1024;

// How long a change waits for another process's lock on the file.
constexpr std::chrono::milliseconds kSettingsLockPatience{10000};

// The current file's model, parsed anew only when its bytes changed; a
// missing file is an empty registry.
// Returns ERROR_SUCCESS or the Win32 error; the reason has then been written
// to standard error (each distinct message once per process).
LONG ReadRegistryFile(std::shared_ptr<const Registry>& registry);

// Under an exclusive lock on "<file>.lock", beside the file the path leads
// to: reads the file, lets change edit the registry, and when change succeeds
// and sets its flag, replaces the file with the new text (temporary file,
// fsync, rename). Missing folders are created. Returns change's result or the
// Win32 error of the file work; an unreadable or unparsable file is never
// replaced.
LONG ChangeRegistryFile(const std::function<LONG(Registry& registry, bool& changed)>& change);

}  // namespace qoz::host
