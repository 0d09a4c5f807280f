// Scratch folders for tests and benchmarks. A process keeps all of its own in
// one folder of the temporary folder, which it holds a lock on while it runs
// and removes as it ends; the first process to make one removes those left by
// processes that were killed before they could.
#pragma once

#include <filesystem>

// A new empty folder, mode 0700, named PURPOSE-XXXXXX in this process's
// folder; empty when it could not be made.
std::filesystem::path MakeScratchFolder(const char* purpose);

// Removes the folder and all it holds, ignoring failures; an empty path is
// nothing to remove.
void RemoveScratchFolder(const std::filesystem::path& folder);

// Removes the process folders in TEMPORARY that are this user's and that no
// live process holds locked.
void RemoveAbandonedScratchFolders(const std::filesystem::path& temporary);
