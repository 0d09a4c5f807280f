// Where events live. A named event is a shared-memory object found by every
// process of the user (within the namespace that QOZCAL_EVENT_NAMESPACE
// names, if set); it lasts as long as some process has it open, as on
// Windows. An unnamed event belongs to this process (and its fork children).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/host/kernel32/event_state.h"

namespace qoz::host {

// Windows refuses event names longer than MAX_PATH characters.
constexpr size_t kLongestEventName = 260;

// One open of an event in this process.
struct EventMapping {
    EventState* state = nullptr;
    void* memory = nullptr;  // the whole mapping
    size_t size = 0;
    int fd = -1;             // the shared-memory object; -1 for an unnamed event
    pid_t opener = 0;        // the process this open is counted for
    std::string objectName;  // empty for an unnamed event
};

enum class EventOpenStatus { Created, Opened, NameTooLong, Failed };

struct EventOpening {
    EventOpenStatus status = EventOpenStatus::Failed;
    EventMapping mapping;
    int error = 0;  // errno when Failed
};

// The shared-memory object name of an event, from the user id, the
// namespace and the event name; empty when it would not fit.
std::optional<std::string> SharedEventObjectName(std::u16string_view name);

// Opens the named event, creating it with the given mode and state if no
// process has it open.
EventOpening OpenNamedEvent(std::u16string_view name, bool manualReset, bool initialState);

EventOpening CreateUnnamedEvent(bool manualReset, bool initialState);

// Ends this open; the last one anywhere makes the event disappear.
void CloseEventMapping(EventMapping& mapping);

}  // namespace qoz::host
