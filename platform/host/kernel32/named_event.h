// Where events live. A named event is a shared-memory file in the user's
// own event folder (event_folder.h), found by every process of the user
// within the namespace that QOZCAL_EVENT_NAMESPACE names, if set. It lasts as
// long as some process has it open, as on Windows: the last to close it
// removes it, and one whose processes all died is removed by the next open of
// any event. An unnamed event belongs to this process (and its fork children).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/host/kernel32/event_name.h"
#include "platform/host/kernel32/event_state.h"

namespace qoz::host {


// One open of an event in this process.
struct EventMapping {
    EventState* state = nullptr;
    void* memory = nullptr;  // the whole mapping
    size_t size = 0;
    int fd = -1;        // the event's file; -1 for an unnamed event
    EventParty party;   // this open's slot in the file
    pid_t opener = 0;   // the process this open is counted for
    std::string path;   // the event's file; empty for an unnamed event
    std::string label;  // the event's name, for messages
};

enum class EventOpenStatus {
    Created,
    Opened,
    NameTooLong,
    Unusable,  // the folder or the file is not this user's own, or cannot be opened
    Damaged,   // in use by another process, and out of shape
    Wedged,    // another process keeps it locked
    Failed,
};

struct EventOpening {
    EventOpenStatus status = EventOpenStatus::Failed;
    EventMapping mapping;
    int error = 0;  // errno when Failed or Unusable
};


// Opens the named event, creating it with the given mode and state if no
// process has it open. Every reason it cannot be opened but a name too long
// is told to the user once.
EventOpening OpenNamedEvent(std::u16string_view name, bool manualReset, bool initialState);

EventOpening CreateUnnamedEvent(bool manualReset, bool initialState);

// Whether the mapping's memory may still be touched: the file was not cut
// short behind it.
bool EventMappingIntact(const EventMapping& mapping);

// Ends this open; the last one anywhere removes the event.
void CloseEventMapping(EventMapping& mapping);

// Tells the user once, for each event and kind of trouble (an
// EventOpenStatus), why the event cannot be used.
void ReportEventTrouble(const std::string& label, const std::string& path, int kind,
                        const std::string& why);
std::string WedgedEventText();

// Removes the event files of the user that no process has open any more.
void RemoveAbandonedEvents();

}  // namespace qoz::host
