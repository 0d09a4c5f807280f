// The user's base folders, read from the environment at each call as the
// XDG base directory rules name them.
#pragma once

#include <string>

namespace qoz::host {

// $HOME, else the home folder of the user's account; empty when neither.
std::string HomeFolder();

// $XDG_STATE_HOME when it is an absolute path, else ~/.local/state; empty
// without a home folder.
std::string StateHome();

// $XDG_RUNTIME_DIR when it is an absolute path, else empty.
std::string RuntimeHome();

}  // namespace qoz::host
