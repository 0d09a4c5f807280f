#include "platform/host/simulator/x11_errors.h"

#include <X11/Xlib.h>

namespace qoz::sim {

namespace {

XErrorHandler previousHandler = nullptr;

int HandleError(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow) return 0;
    return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

}  // namespace

void IgnoreErrorsAboutGoneWindows() {
    XErrorHandler previous = XSetErrorHandler(HandleError);
    if (previous != HandleError) previousHandler = previous;
}

}  // namespace qoz::sim
