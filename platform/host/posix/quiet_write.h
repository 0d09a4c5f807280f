// Writing to a terminal, pipe or file that may have gone away or stopped
// reading. On the device a write never ends or stops the program: a pipe
// without a reader raises no SIGPIPE here, an output that takes nothing is
// waited for a bounded time only and never past a request to quit, and
// whatever cannot be written is dropped.
#pragma once

#include <chrono>
#include <string_view>

namespace qoz::host {

// How long a write waits at most for an output that takes nothing. Once an
// output has kept a write waiting that long, later writes to it wait only
// while it takes bytes at once, until a write to it succeeds again.
constexpr std::chrono::milliseconds kWritePatience{2000};

// Writes all of `bytes`; false, with errno set, when not all of it went out
// (EAGAIN when the output took nothing for the patience, EINTR when a quit
// was asked for meanwhile).
bool WriteQuietly(int fd, std::string_view bytes);

}  // namespace qoz::host
