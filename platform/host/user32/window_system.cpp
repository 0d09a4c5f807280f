#include "platform/host/user32/window_system.h"

#include "platform/host/gdi32/device_context.h"
#include "platform/host/gdi32/screen.h"
#include "platform/host/user32/input_routing.h"
#include "platform/host/user32/message_queue.h"
#include "platform/host/user32/window_classes.h"
#include "platform/host/user32/window_table.h"

namespace qoz::host {

void ResetWindowSystemForTesting() {
    ResetMessageQueue();
    ResetInputRouting();
    ResetDeviceContexts();
    ResetWindowTable();
    ResetWindowClasses();
    ResetScreen();
}

}  // namespace qoz::host
