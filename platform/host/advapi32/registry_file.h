// The settings file on disk: where it lives, reading it, and changing it
// atomically under a lock shared by every process of the user.
#pragma once

#include <functional>
#include <string>

#include "platform/host/advapi32/registry_text.h"
#include "platform/platform.h"

namespace qoz::host {

// QOZCAL_REGISTRY if set and non-empty, else $XDG_STATE_HOME/qozcal/registry.reg
// (an absolute XDG_STATE_HOME only), else ~/.local/state/qozcal/registry.reg.
// The environment is read at each call. Empty when there is no home folder.
std::string RegistryFilePath();

// Reads and parses the current file; a missing file is an empty registry.
// Returns ERROR_SUCCESS or the Win32 error; the reason has then been written
// to standard error (each distinct message once per process).
LONG ReadRegistryFile(Registry& registry);

// Under an exclusive lock on "<path>.lock": reads the file, lets change edit
// the registry, and when change succeeds and sets its flag, replaces the file
// with the new text (temporary file, fsync, rename). Missing folders are
// created. Returns change's result or the Win32 error of the file work; an
// unreadable or unparsable file is never replaced.
LONG ChangeRegistryFile(const std::function<LONG(Registry& registry, bool& changed)>& change);

}  // namespace qoz::host
