// Shared by the bad-input and fault tests: pen scripts for whole calibrations,
// headless runs of qozcal on them, and runs as an unprivileged user.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "scenario_support.h"

// Screen positions of the five taps, in target order.
using TapList = std::vector<Pixel>;

// The taps exactly at the targets of a 240 x 320 screen.
const TapList& TapsAtTheTargets();

// A script that starts a calibration (with the Calibration button, or with a
// key when `withKey`) and taps each position in turn, pausing `pauseMs` after
// each so that nothing is sent while the program sleeps.
std::string CalibrationScript(const TapList& taps, bool withKey = false, int pauseMs = 700);

// Writes `text` as NAME in the scratch folder; returns its path.
std::string WriteScratchFile(const ScratchEnvironment& scratch, const std::string& name,
                             const std::string& text);

// Runs qozcal headless on the virtual clock with this script. The settings
// file and debug log are the scratch folder's unless `registry` or `debugLog`
// name others.
ChildResult RunScript(const ScratchEnvironment& scratch, const std::string& scriptText,
                      const std::string& registry = "", const std::string& debugLog = "");

// The four settings as the file holds them, in the order ScaleX, ScaleY,
// OffsetX, OffsetY; "(missing)" for an absent one.
std::vector<std::string> FourSettings(const ScratchEnvironment& scratch);

// Runs a program in `directory` as user and group 65534 when the test runs as
// root (so that permission bits apply), else as the current user.
struct MeasuredResult {
    ChildResult result;
    std::chrono::milliseconds elapsed{0};
    long peakKilobytes = 0;  // the child's largest resident set
};
MeasuredResult RunMeasured(const std::vector<std::string>& argv, const std::filesystem::path& directory,
                           bool unprivileged, std::chrono::milliseconds patience);
