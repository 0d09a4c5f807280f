// GetSystemMetrics: the simulated screen's size; every other metric is 0.
#include "platform/host/gdi32/screen.h"
#include "platform/platform.h"

// GetSystemMetrics (user32)
int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return qoz::host::ScreenWidth();
        case SM_CYSCREEN:
            return qoz::host::ScreenHeight();
        default:
            return 0;
    }
}
