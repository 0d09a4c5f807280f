// Scratch folders for tests and benchmarks. A process keeps all of its own in
// one folder in each place it uses, which it holds a lock on while it runs and
// removes as it ends; the first process to make one there removes those left
// by processes that were killed before they could.
#pragma once

#include <filesystem>

// Where a process folder is: the temporary folder, or /dev/shm for what must
// be in memory (tmpfs), as a desktop session's runtime folder is.
enum class ScratchPlace { Temporary, Memory };

// A new empty folder, mode 0700, named PURPOSE-XXXXXX in this process's
// folder there; empty when it could not be made.
std::filesystem::path MakeScratchFolder(const char* purpose,
                                        ScratchPlace place = ScratchPlace::Temporary);

// Removes the folder and all it holds, ignoring failures; an empty path is
// nothing to remove.
void RemoveScratchFolder(const std::filesystem::path& folder);

// Removes the process folders in PARENT that are this user's and that no
// live process holds locked.
void RemoveAbandonedScratchFolders(const std::filesystem::path& parent);
