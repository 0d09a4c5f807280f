// A temporary folder for one benchmark run: the settings file, the debug log
// and the named events of everything the run starts, in-process or not, live
// there or under its name, apart from the user's own.
#pragma once

#include <filesystem>

namespace qoz::bench {

// Creates the folder and points QOZCAL_REGISTRY, QOZCAL_DEBUG_LOG and
// QOZCAL_EVENT_NAMESPACE at it. Call once, before any benchmark runs.
const std::filesystem::path& ScratchFolder();

void RemoveScratchFolder();

}  // namespace qoz::bench
