// Turns each finished calibration tap into one averaged sample, indexed by
// target number.
#pragma once

#include "calibration/targets.h"

extern float sampleX[TARGET_COUNT];
extern float sampleY[TARGET_COUNT];
extern int sampleIndex;  // taps of the current calibration already sampled

// Averages the tap that just ended into sample sampleIndex and advances it.
// Returns 1 when that was the last tap of the calibration, else 0.
int CollectTapSample(void);
