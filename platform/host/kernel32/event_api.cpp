// The Win32 event calls over the host's events. A HANDLE names an
// EventObject in a table, so a null, closed or foreign handle fails.
#include <errno.h>

#include <memory>
#include <string_view>
#include <vector>

#include "platform/host/kernel32/handle_table.h"
#include "platform/host/kernel32/named_event.h"
#include "platform/host/posix/problem_report.h"
#include "platform/platform.h"

namespace {

using qoz::host::EventAction;
using qoz::host::EventOpenStatus;
using qoz::host::EventResult;

struct EventObject {
    qoz::host::EventMapping mapping;
    qoz::host::LockWatch watch;

    EventObject() = default;
    EventObject(const EventObject&) = delete;
    EventObject& operator=(const EventObject&) = delete;
    ~EventObject() { qoz::host::CloseEventMapping(mapping); }
};

using EventTable = qoz::host::LockedHandleTable<HANDLE, std::shared_ptr<EventObject>,
                                                qoz::host::SlotReuse::AfterClose>;

// Handles still open when the process exits are closed with the table, as
// the system reclaims them on Windows.
EventTable& Handles() {
    static EventTable table(qoz::host::HandleKind::Event);
    return table;
}

// The event stays usable while a caller holds the result, even if another
// thread closes the handle meanwhile.
std::shared_ptr<EventObject> FindEvent(HANDLE handle) {
    return Handles().Find(handle).value_or(nullptr);
}

DWORD ErrorForCreation(const qoz::host::EventOpening& opening) {
    switch (opening.status) {
        case EventOpenStatus::NameTooLong:
            return ERROR_FILENAME_EXCED_RANGE;
        case EventOpenStatus::Damaged:
            return ERROR_FILE_CORRUPT;
        case EventOpenStatus::Wedged:
            return ERROR_TIMEOUT;
        default:
            break;
    }
    switch (opening.error) {
        case EACCES:
        case EPERM:
        case ELOOP:
            return ERROR_ACCESS_DENIED;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EINVAL:
            return ERROR_INVALID_NAME;
        default:
            return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// A named event that fails once it is open is told to the user as when it
// fails to open, and the call fails with the matching error.
DWORD Trouble(const EventObject& event, EventResult result) {
    const qoz::host::EventMapping& mapping = event.mapping;
    if (result == EventResult::Wedged) {
        qoz::host::ReportEventTrouble(mapping.label, mapping.path,
                                      static_cast<int>(EventOpenStatus::Wedged),
                                      qoz::host::WedgedEventText());
        return ERROR_TIMEOUT;
    }
    if (result == EventResult::Damaged) {
        qoz::host::ReportEventTrouble(
            mapping.label, mapping.path, static_cast<int>(EventOpenStatus::Damaged),
            qoz::host::EventMappingIntact(mapping) ? "it is damaged (its contents are out of range)"
                                                   : "it is damaged (it was cut short)");
        return ERROR_FILE_CORRUPT;
    }
    return ERROR_NOT_ENOUGH_MEMORY;
}

}  // namespace

// CreateEventW (kernel32)
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    bool named = name != nullptr && name[0] != 0;
    qoz::host::EventOpening opening =
        named ? qoz::host::OpenNamedEvent(std::u16string_view(name), manualReset, initialState)
              : qoz::host::CreateUnnamedEvent(manualReset, initialState);
    if (opening.status != EventOpenStatus::Created && opening.status != EventOpenStatus::Opened) {
        SetLastError(ErrorForCreation(opening));
        return nullptr;
    }
    auto event = std::make_shared<EventObject>();
    event->mapping = opening.mapping;
    HANDLE handle = Handles().Add(std::move(event));
    if (handle == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);  // event, not taken, closes its mapping
        return nullptr;
    }
    SetLastError(opening.status == EventOpenStatus::Opened ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

// EventModify (kernel32)
BOOL EventModify(HANDLE handle, DWORD action) {
    std::shared_ptr<EventObject> event = FindEvent(handle);
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    EventAction change;
    switch (action) {
        case EVENT_SET:
            change = EventAction::Set;
            break;
        case EVENT_PULSE:
            change = EventAction::Pulse;
            break;
        case EVENT_RESET:
            change = EventAction::Reset;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
    EventResult result =
        qoz::host::EventMappingIntact(event->mapping)
            ? qoz::host::ModifyEventState(*event->mapping.state, change, event->watch,
                                          event->mapping.party)
            : EventResult::Damaged;
    if (result != EventResult::Done) {
        SetLastError(Trouble(*event, result));
        return FALSE;
    }
    return TRUE;
}

// WaitForSingleObject (kernel32)
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

// WaitForMultipleObjects (kernel32)
// Any one of several events, the first in the list when several are
// signalled; waiting for all of them is not offered. A quit asked for ends
// the wait early, as WAIT_TIMEOUT.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                             DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr || waitAll) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<EventObject>> events;
    std::vector<qoz::host::EventToWait> waits;
    for (DWORD i = 0; i < count; ++i) {
        events.push_back(FindEvent(handles[i]));
        if (events.back() == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        const qoz::host::EventMapping& mapping = events.back()->mapping;
        if (!qoz::host::EventMappingIntact(mapping)) {
            SetLastError(Trouble(*events.back(), EventResult::Damaged));
            return WAIT_FAILED;
        }
        waits.push_back({mapping.state, &events.back()->watch, mapping.party,
                         [&mapping] { return qoz::host::EventMappingIntact(mapping); }});
    }
    size_t taken = 0;
    switch (EventResult result = qoz::host::WaitAnyEventState(waits, milliseconds, taken)) {
        case EventResult::Signalled:
            return WAIT_OBJECT_0 + static_cast<DWORD>(taken);
        case EventResult::TimedOut:
            return WAIT_TIMEOUT;
        default:
            SetLastError(Trouble(*events[taken], result));
            return WAIT_FAILED;
    }
}

// CloseHandle (kernel32)
BOOL CloseHandle(HANDLE handle) {
    if (!Handles().Close(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
