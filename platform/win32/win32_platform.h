// Windows side of platform/platform.h. On the device the system provides every
// call the program makes. On desktop Windows a few of them are missing or
// behave differently; this header routes exactly those to the stand-ins in
// device_calls.h, so that the program's code builds and behaves unchanged.
#pragma once

#if defined(_WIN32_WCE)

// The device's SDK: its <windows.h> does not declare wcslen.
#include <string.h>
#include <windows.h>

#else

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <wchar.h>
#include <windows.h>

#include "platform/win32/device_calls.h"

// The device accepts an empty class name and gives a top-level window without
// WS_POPUP a thin border and no caption.
#undef RegisterClassW
#define RegisterClassW DeviceRegisterClassW
#undef CreateWindowExW
#define CreateWindowExW DeviceCreateWindowExW

// The device ignores the access argument of RegCreateKeyExW.
#undef RegCreateKeyExW
#define RegCreateKeyExW DeviceRegCreateKeyExW

// The device stores text values as given, with no NUL added.
#undef RegSetValueExW
#define RegSetValueExW DeviceRegSetValueExW

// Desktop wsprintfW cannot format floating point.
#undef wsprintfW
#define wsprintfW DeviceWsprintfW

#endif
