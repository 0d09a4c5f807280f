// Writing to a terminal, pipe or file that may have gone away. On the device
// a write never ends the program: a pipe without a reader raises no SIGPIPE
// here, and whatever cannot be written is dropped.
#pragma once

#include <string_view>

namespace qoz::host {

// Writes all of `bytes`; false, with errno set, when not all of it went out.
bool WriteQuietly(int fd, std::string_view bytes);

}  // namespace qoz::host
