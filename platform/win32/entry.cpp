// The process entry of the Windows build: the system's start-up calls WinMain
// on the device and wWinMain on the desktop, which hand over to the program.
#include "platform/platform.h"

#if defined(_WIN32_WCE)
// The device's start-up always passes a wide command line to WinMain.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                   int showCommand) {
#else
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                    int showCommand) {
#endif
    return AppMain(instance, previousInstance, commandLine, showCommand);
}
