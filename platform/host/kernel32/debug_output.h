// Where NKDbgPrintfW's lines go: the log file a program's command line names
// (--debug-log), else QOZCAL_DEBUG_LOG, else standard error.
#pragma once

#include <string>

namespace qoz::host {

// An empty path gives the default back.
void UseDebugLog(const std::string& path);

}  // namespace qoz::host
