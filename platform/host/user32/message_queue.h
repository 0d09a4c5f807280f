// The thread's message queue: posted and input messages in arrival order,
// then the quit message, then repaints, then waiting for input.
#pragma once

#include "platform/platform.h"

namespace qoz::host {

void ResetMessageQueue();

}  // namespace qoz::host
