// Files of the user's cache folder, $XDG_CACHE_HOME/qozcal (default
// ~/.cache/qozcal). The folder is used only while it is the user's own and
// nobody else may write to it; a file is read only from a regular file of the
// user's, never through a link and never past the limit, and is replaced
// whole through a temporary file made anew, so a reader never sees half.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace qoz::host {

// A real cache file is a few kilobytes.
constexpr size_t kLargestCacheFile = 64 * 1024;

// The file's text; empty when there is no such file that may be used.
std::optional<std::string> ReadCacheFile(const char* name);

// Best effort: a folder that cannot be written, or a text past the limit,
// leaves nothing behind.
void WriteCacheFile(const char* name, const std::string& text);

}  // namespace qoz::host
