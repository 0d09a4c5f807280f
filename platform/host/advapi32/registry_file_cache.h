// The settings file as last parsed, kept while the file on disk stays the
// same (the same file, size and times), so that a run of registry calls on
// an unchanged file parses it once.
#pragma once

#include <sys/stat.h>

#include <memory>

#include "platform/host/advapi32/registry_text.h"

namespace qoz::host {

// The model of the file that status describes, when it is the one kept.
std::shared_ptr<const Registry> CachedRegistry(const struct stat& status);

// Keeps registry as the model of the file that status describes. It must
// have been made as a Registry, not a const one, so that ChangeRegistryFile
// may take it over once it is forgotten here.
void KeepRegistry(const struct stat& status, std::shared_ptr<const Registry> registry);
void ForgetRegistry();

}  // namespace qoz::host
