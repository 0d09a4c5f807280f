// Whether the window is running a calibration (1) or is the pen pad (0).
#pragma once

extern int calibrating;
