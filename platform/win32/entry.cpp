// The process entry of the Windows builds, which hands over to the program:
// WinMain on the device (the SDK's C runtime calls it; the build without the
// SDK has no C runtime, so WinMainCRTStartup below stands in for it) and
// wWinMain on the desktop.
#include "platform/platform.h"

#if defined(_WIN32_WCE) || defined(QOZCAL_DEVICE)
// The device's start-up always passes a wide command line to WinMain.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                   int showCommand) {
#else
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                    int showCommand) {
#endif
    return AppMain(instance, previousInstance, commandLine, showCommand);
}

#if defined(QOZCAL_DEVICE)
// The image's entry point. The device's loader calls it with WinMain's four
// arguments; the process ends with WinMain's result.
extern "C" void WINAPI WinMainCRTStartup(HINSTANCE instance, HINSTANCE previousInstance,
                                         LPWSTR commandLine, int showCommand) {
    ExitThread((DWORD)WinMain(instance, previousInstance, commandLine, showCommand));
}
#endif
