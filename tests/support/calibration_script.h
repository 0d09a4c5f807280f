// Pen scripts of whole calibrations, for runs of qozcal on them.
#pragma once

#include <string>
#include <vector>

#include "tests/support/screen_checks.h"

// Screen positions of the five taps, in target order.
using TapList = std::vector<Pixel>;

// The taps exactly at the targets of a 240 x 320 screen.
const TapList& TapsAtTheTargets();

// A script that starts a calibration (with the Calibration button, tapped at
// `buttonTap`, or with a key when `withKey`) and taps each position in turn,
// pausing `pauseMs` after each so that nothing is sent while the program
// sleeps.
std::string CalibrationScript(const TapList& taps, bool withKey = false, int pauseMs = 700,
                              Pixel buttonTap = {200, 16});
