// The file names of named events, and their names as messages show them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qoz::host {

// Windows refuses event names longer than MAX_PATH characters.
constexpr size_t kLongestEventName = 260;

// Every event file's name starts with this.
constexpr char kEventFilePrefix[] = "event.";

// The event's file name in the event folder, from the namespace and the
// event name; empty when it would not fit.
std::optional<std::string> EventObjectName(std::u16string_view name);

// The name as the user may read it in a message: control characters shown as '?'.
std::string Label(std::u16string_view name);

}  // namespace qoz::host
