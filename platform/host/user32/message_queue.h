// The thread's message queue, fetched in Windows' order: the quit message,
// then input in arrival order, then repaints, then waiting for input.
#pragma once

#include "platform/platform.h"

namespace qoz::host {

void ResetMessageQueue();

}  // namespace qoz::host
