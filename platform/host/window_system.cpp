#include "window_system.h"

#include "input_routing.h"
#include "message_queue.h"
#include "painting.h"
#include "screen.h"
#include "window_classes.h"
#include "window_table.h"

namespace qoz::host {

void ResetWindowSystemForTesting() {
    ResetMessageQueue();
    ResetInputRouting();
    ResetPainting();
    ResetWindowTable();
    ResetWindowClasses();
    ResetScreen();
}

}  // namespace qoz::host
