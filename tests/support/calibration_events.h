// The program's two named events, CALSTARTEVENT and CALENDEVENT, held open
// as a listener holds them (automatic reset, not set) while this lives.
#pragma once

#include "platform/platform.h"

struct CalibrationEvents {
    HANDLE start = CreateEventW(nullptr, FALSE, FALSE, u"CALSTARTEVENT");
    HANDLE end = CreateEventW(nullptr, FALSE, FALSE, u"CALENDEVENT");

    CalibrationEvents() = default;
    CalibrationEvents(const CalibrationEvents&) = delete;
    CalibrationEvents& operator=(const CalibrationEvents&) = delete;
    ~CalibrationEvents() {
        CloseHandle(start);
        CloseHandle(end);
    }
};

// Whether the event was set since it was last looked at; the look takes the set.
inline bool WasSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }
