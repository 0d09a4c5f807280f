// Folders the host keeps its own files in (the event folder, the default
// settings folder), checked as ssh checks ~/.ssh: the folder is the user's
// own and nobody else may write to it, nor to any folder above it up to the
// home folder (up to / outside it), unless that folder is sticky like /tmp,
// where nobody may move or remove what is not theirs.
#pragma once

#include <string>

#include "platform/host/posix/unique_fd.h"

namespace qoz::host {

enum class FolderPrivacy {
    Private,      // nobody else may enter, read or write it
    NotWritable,  // others may read it, but nobody else may write to it
};

struct CheckedFolder {
    UniqueFd fd;          // the folder, open, when it passed
    std::string path;     // the folder with every link resolved
    int error = 0;        // errno when it could not be made or opened
    std::string problem;  // why it cannot be used; empty when it passed
};

// With create, missing folders are made first, with mode 0700.
CheckedFolder CheckPrivateFolder(const std::string& path, FolderPrivacy privacy, bool create);

// The path with every link resolved; empty, with errno set, when it cannot be.
std::string RealPath(const std::string& path);

// Why the folder above something, or one above it up to /, lets others
// change what is below it; empty when none does. folder has every link
// resolved.
std::string FoldersAboveProblem(const std::string& folder);

}  // namespace qoz::host
