// The named events "CALSTARTEVENT" and "CALENDEVENT", through which the touch
// driver learns that a calibration started and that new settings are stored.
#pragma once

// Creates (or opens) both events, automatic reset, not signalled.
void CreateCalibrationEvents(void);

void SignalCalibrationStart(void);
void SignalCalibrationEnd(void);
