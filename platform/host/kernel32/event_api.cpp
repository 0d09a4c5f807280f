// The Win32 event calls over the host's events. A HANDLE is the address of
// an EventObject; the table of live ones lets a null, closed or foreign
// handle fail instead of being followed.
#include <errno.h>

#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "platform/host/kernel32/named_event.h"
#include "platform/platform.h"

namespace {

using qoz::host::EventAction;
using qoz::host::EventOpenStatus;
using qoz::host::WaitOutcome;

struct EventObject {
    qoz::host::EventMapping mapping;

    EventObject() = default;
    EventObject(const EventObject&) = delete;
    EventObject& operator=(const EventObject&) = delete;
    ~EventObject() { qoz::host::CloseEventMapping(mapping); }
};

// Handles still open when the process exits are closed with the table, as
// the system reclaims them on Windows.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<HANDLE, std::shared_ptr<EventObject>> events;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

// The event stays usable while a caller holds the result, even if another
// thread closes the handle meanwhile.
std::shared_ptr<EventObject> FindEvent(HANDLE handle) {
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> guard(table.mutex);
    auto found = table.events.find(handle);
    if (found == table.events.end()) return nullptr;
    return found->second;
}

DWORD ErrorForCreation(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EINVAL:
            return ERROR_INVALID_NAME;
        default:
            return ERROR_NOT_ENOUGH_MEMORY;
    }
}

}  // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    bool named = name != nullptr && name[0] != 0;
    qoz::host::EventOpening opening =
        named ? qoz::host::OpenNamedEvent(std::u16string_view(name), manualReset, initialState)
              : qoz::host::CreateUnnamedEvent(manualReset, initialState);
    if (opening.status == EventOpenStatus::NameTooLong) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    if (opening.status == EventOpenStatus::Failed) {
        SetLastError(ErrorForCreation(opening.error));
        return nullptr;
    }
    auto event = std::make_shared<EventObject>();
    event->mapping = opening.mapping;
    HANDLE handle = event.get();
    {
        HandleTable& table = Handles();
        std::lock_guard<std::mutex> guard(table.mutex);
        table.events.emplace(handle, std::move(event));
    }
    SetLastError(opening.status == EventOpenStatus::Opened ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

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
    if (!qoz::host::ModifyEventState(*event->mapping.state, change)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    std::shared_ptr<EventObject> event = FindEvent(handle);
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    switch (qoz::host::WaitEventState(*event->mapping.state, milliseconds)) {
        case WaitOutcome::Signalled:
            return WAIT_OBJECT_0;
        case WaitOutcome::TimedOut:
            return WAIT_TIMEOUT;
        case WaitOutcome::Failed:
            break;
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return WAIT_FAILED;
}

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<EventObject> event;
    {
        HandleTable& table = Handles();
        std::lock_guard<std::mutex> guard(table.mutex);
        auto found = table.events.find(handle);
        if (found != table.events.end()) {
            event = std::move(found->second);
            table.events.erase(found);
        }
    }
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
