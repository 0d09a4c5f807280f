#include "settings/calibration_events.h"

#include "platform/platform.h"

static HANDLE startEvent;
static HANDLE endEvent;

void CreateCalibrationEvents(void) {
    startEvent = CreateEventW(NULL, FALSE, FALSE, TEXT("CALSTARTEVENT"));
    endEvent = CreateEventW(NULL, FALSE, FALSE, TEXT("CALENDEVENT"));
}

void SignalCalibrationStart(void) { EventModify(startEvent, EVENT_SET); }

void SignalCalibrationEnd(void) { EventModify(endEvent, EVENT_SET); }
