// Problems with the host's surroundings (the settings file, the event
// folder, a debug log) are told to the user as one line on standard error,
// "PROGRAM: MESSAGE", each once per process.
#pragma once

#include <string>

namespace qoz::host {

// The name the lines start with: "qozcal" unless the program says otherwise.
void NameTheReporter(const std::string& program);
const std::string& ReporterName();

// Once for each distinct message.
void ReportProblemOnce(const std::string& message);

// Once for each key, whatever the message says the later times.
void ReportProblemOnce(const std::string& key, const std::string& message);

// Writes text to standard error as it is, quietly: bounded, never past a
// request to quit.
void SayOnStandardError(const std::string& text);

}  // namespace qoz::host
