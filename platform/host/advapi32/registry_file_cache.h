// The settings file's text as this process last read or wrote it, with its
// model, so that a run of registry calls on an unchanged file parses it once.
// Nothing but the text stands for the file: every call reads the file's
// bytes anew and uses the model only when they are the very bytes it was
// made from, so an edit another program made, however quickly and whatever
// it did to the file's times, is never undone.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/host/advapi32/registry_text.h"

namespace qoz::host {

// The model of text, when text is the one kept.
std::shared_ptr<const Registry> CachedRegistry(std::string_view text);

// Keeps registry as the model of text. It must have been made as a Registry,
// not a const one, so that ChangeRegistryFile may take it over once it is
// forgotten here.
void KeepRegistry(std::string text, std::shared_ptr<const Registry> registry);
void ForgetRegistry();

}  // namespace qoz::host
