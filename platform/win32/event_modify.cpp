#include "platform/win32/device_calls.h"

BOOL EventModify(HANDLE event, DWORD action) {
    switch (action) {
        case EVENT_SET:
            return SetEvent(event);
        case EVENT_PULSE:
            return PulseEvent(event);
        case EVENT_RESET:
            return ResetEvent(event);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
