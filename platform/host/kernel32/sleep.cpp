#include "platform/host/kernel32/clock.h"
#include "platform/platform.h"

// Sleep (kernel32)
void Sleep(DWORD milliseconds) { qoz::host::WaitMilliseconds(milliseconds); }
