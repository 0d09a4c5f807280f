#include "platform/host/kernel32/clock.h"
#include "platform/platform.h"

void Sleep(DWORD milliseconds) { qoz::host::WaitMilliseconds(milliseconds); }
