// Where the settings file is, and the file a change of it works on.
#pragma once

#include <string>

namespace qoz::host {

struct RegistryLocation {
    std::string path;  // empty when there is nowhere to keep it
    // The default folder the file sits in, checked before it is used; empty
    // for a file the user named, which is followed as given.
    std::string defaultFolder;
};

// The file a program's command line names (--registry), used as given; an
// empty path gives the default back.
void UseSettingsFile(const std::string& path);

// The file UseSettingsFile named, else the user's default: QOZCAL_REGISTRY if
// set and non-empty, else $XDG_STATE_HOME/qozcal/registry.reg (an absolute
// XDG_STATE_HOME only), else ~/.local/state/qozcal/registry.reg.
RegistryLocation FindRegistryFile();
std::string RegistryFilePath();

// The file a path leads to through every link in it, as an absolute path,
// also when the file does not exist yet. A change's lock and temporary file
// sit beside it, so every path to one file shares one lock.
std::string ResolveLinks(const std::string& path);

}  // namespace qoz::host
