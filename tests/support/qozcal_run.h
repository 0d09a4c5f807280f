// Runs of the real qozcal binary in a scratch folder, most of them headless
// on a pen script and on the virtual clock.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"

// Runs qozcal with exactly these arguments in the scratch folder.
ChildResult RunQozcal(const ScratchEnvironment& scratch, const std::vector<std::string>& arguments);

// True when the program itself started: it made the settings file or the
// debug log of the scratch folder.
bool ProgramRan(const ScratchEnvironment& scratch);

// What qozcal writes on standard error for a problem with its settings file:
// the problem as it happens, and that the settings were not all stored as
// the run ends.
std::string SettingsProblemOutput(const std::string& problem);

// The paths of tests/scenarios/NAME and examples/NAME.
std::string Scenario(const std::string& name);
std::string Example(const std::string& name);

struct ScriptRun {
    std::string script{};               // the pen script's path, or else
    std::string text{};                 // its text, written as run.pen in the scratch folder
    std::string registry{};             // empty: the scratch folder's settings file
    std::string debugLog{};             // empty: the scratch folder's debug log
    bool realTime = false;              // without --virtual-time
    bool unprivileged = false;          // as ChildLaunch::unprivileged
    std::filesystem::path directory{};  // empty: the scratch folder
    std::vector<std::string> extra{};   // further arguments
    std::chrono::seconds patience{60};
};

// qozcal --headless on the script, with its settings file and debug log.
ChildLaunch ScriptLaunch(const ScratchEnvironment& scratch, const ScriptRun& run);
ChildResult RunScript(const ScratchEnvironment& scratch, const ScriptRun& run);
