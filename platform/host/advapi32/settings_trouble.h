// Problems with the settings file are told once, when they happen; the first
// is told again as the simulator ends, so that a run whose settings were not
// stored never ends looking as if they were.
#pragma once

#include <string>

namespace qoz::host {

// "qozcal: MESSAGE" on standard error, once for each distinct message.
void ReportSettingsProblem(const std::string& message);

// When the run had a problem with the settings file: one line saying its
// settings were not all stored, and the first reason.
void ReportUnstoredSettings();

}  // namespace qoz::host
