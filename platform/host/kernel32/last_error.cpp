#include "platform/platform.h"

namespace {
thread_local DWORD lastError = 0;
}

// GetLastError (kernel32)
DWORD GetLastError(void) { return lastError; }

// SetLastError (kernel32)
void SetLastError(DWORD error) { lastError = error; }
