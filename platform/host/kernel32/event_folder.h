// The folder that holds the user's named events: $XDG_RUNTIME_DIR/qozcal
// where the system gives the user a runtime folder, else
// $XDG_STATE_HOME/qozcal/events (~/.local/state/qozcal/events). It is made
// with mode 0700 and used only while it is the user's own, open to nobody
// else, below folders nobody else may change (private_folder.h).
#pragma once

#include <string>

#include "platform/host/posix/unique_fd.h"

namespace qoz::host {

// Read from the environment at each call; empty without any home folder.
std::string EventFolderPath();

struct EventFolder {
    UniqueFd fd;       // invalid when it cannot be used; the user has been told why
    std::string path;  // with every link resolved
};

// Makes the folder if needed and checks it.
EventFolder OpenEventFolder();

}  // namespace qoz::host
