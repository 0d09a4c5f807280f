// coredll.dll for desktop Windows: the exports of the device's coredll that
// the device build of qozcal imports, with the device's calling convention
// (cdecl), each made with the desktop's own call or, where the desktop
// differs from the device, with the stand-ins of device_calls.h. With it the
// device's qozcal.exe runs, unchanged, on desktop Windows and under Wine.
// coredll-standin.def (made from platform/device/coredll.def) exports each
// Core_NAME below as NAME.
#include "platform/common/wide_format.h"
#include "platform/win32/call_recording.h"
#include "platform/win32/device_calls.h"

#define CORE extern "C" __cdecl

namespace {

// The program's window procedure is cdecl, as every call on the device; on
// i686 the desktop calls a window procedure as stdcall. Each class the
// program registers gets DeviceProcedureCaller, which calls the program's.
typedef LRESULT(__cdecl* DeviceProcedure)(HWND, UINT, WPARAM, LPARAM);

struct RegisteredClass {
    ATOM atom;
    DeviceProcedure procedure;
};
RegisteredClass registeredClasses[16];

LRESULT CALLBACK DeviceProcedureCaller(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ATOM atom = (ATOM)GetClassWord(window, GCW_ATOM);
    for (const RegisteredClass& registered : registeredClasses)
        if (registered.atom == atom && registered.procedure != NULL)
            return registered.procedure(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

// The device's loader calls the entry point with WinMain's four arguments;
// the desktop's calls it with one pointer of its own, so what the program
// holds as its instance and show command is not one. The calls that take
// those values are given what the device's loader would have passed: the
// executable's module handle, and SW_SHOW for the first top-level window
// shown (the show command the program passes on), as the simulator does.
HINSTANCE ExecutableModule() { return GetModuleHandleW(NULL); }

bool topLevelShown = false;

}  // namespace

CORE HDC Core_BeginPaint(HWND window, PAINTSTRUCT* paint) {
    RecordCall("BeginPaint", {Handle(window), Pointer(paint)});
    return BeginPaint(window, paint);
}

CORE HANDLE Core_CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                              LPCWSTR name) {
    HANDLE event = CreateEventW(security, manualReset, initialState, name);
    RecordCall("CreateEventW",
               {Pointer(security), Number(manualReset), Number(initialState), Text(name)}, event);
    return event;
}

CORE HWND Core_CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                               int x, int y, int width, int height, HWND parent, HMENU menu,
                               HINSTANCE instance, LPVOID param) {
    HWND window = DeviceCreateWindowExW(exStyle, className, windowName, style, x, y, width, height,
                                        parent, menu, ExecutableModule(), param);
    RecordCall("CreateWindowExW",
               {Hex(exStyle), Text(className), Text(windowName), Hex(style), Number(x), Number(y),
                Number(width), Number(height), Handle(parent), Handle(menu), Handle(instance),
                Pointer(param)},
               window);
    return window;
}

CORE LRESULT Core_DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    RecordMessageTraffic("DefWindowProcW", {Handle(window)});
    return DefWindowProcW(window, message, wParam, lParam);
}

CORE LRESULT Core_DispatchMessageW(const MSG* message) {
    RecordMessageTraffic("DispatchMessageW", {Pointer(message)});
    return DispatchMessageW(message);
}

CORE BOOL Core_EndPaint(HWND window, const PAINTSTRUCT* paint) {
    RecordMessageTraffic("EndPaint", {Handle(window), Pointer(paint)});
    return EndPaint(window, paint);
}

CORE BOOL Core_EventModify(HANDLE event, DWORD action) {
    RecordCall("EventModify", {Handle(event), Number(action)});
    return EventModify(event, action);
}

// On the device the primary thread's end is the process's end. This is the
// start-up's call, not the program's: it ends the record unrecorded.
CORE void Core_ExitThread(DWORD exitCode) {
    FinishCallRecord();
    ExitProcess(exitCode);
}

CORE BOOL Core_GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
    RecordMessageTraffic("GetMessageW",
                         {Pointer(message), Handle(window), Number(filterMin), Number(filterMax)});
    return GetMessageW(message, window, filterMin, filterMax);
}

CORE HGDIOBJ Core_GetStockObject(int index) {
    HGDIOBJ object = GetStockObject(index);
    RecordCall("GetStockObject", {Number(index)}, object);
    return object;
}

CORE int Core_GetSystemMetrics(int index) {
    RecordCall("GetSystemMetrics", {Number(index)});
    return GetSystemMetrics(index);
}

CORE BOOL Core_InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    RecordMessageTraffic("InvalidateRect", {Handle(window), Rectangle(rect), Number(erase)});
    return InvalidateRect(window, rect, erase);
}

CORE HACCEL Core_LoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName) {
    HACCEL table = LoadAcceleratorsW(ExecutableModule(), tableName);
    RecordCall("LoadAcceleratorsW", {Handle(instance), Text(tableName)}, table);
    return table;
}

CORE void Core_NKDbgPrintfW(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    RecordFormatted("NKDbgPrintfW", format, args);
    va_end(args);
    va_start(args, format);
    DeviceDebugPrint(format, args);
    va_end(args);
}

CORE BOOL Core_Polyline(HDC deviceContext, const POINT* points, int count) {
    RecordMessageTraffic("Polyline", {Handle(deviceContext), Points(points, count)});
    return Polyline(deviceContext, points, count);
}

CORE void Core_PostQuitMessage(int exitCode) {
    RecordCall("PostQuitMessage", {Number(exitCode)});
    PostQuitMessage(exitCode);
}

CORE LONG Core_RegCloseKey(HKEY key) {
    RecordCall("RegCloseKey", {Handle(key)});
    return RegCloseKey(key);
}

CORE LONG Core_RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                               DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                               PHKEY result, LPDWORD disposition) {
    LONG status = DeviceRegCreateKeyExW(key, subKey, reserved, keyClass, options, access, security,
                                        result, disposition);
    RecordCall("RegCreateKeyExW",
               {Handle(key), Text(subKey), Number(reserved), Text(keyClass), Number(options),
                Hex(access), Pointer(security), Pointer(result), Pointer(disposition)},
               status == ERROR_SUCCESS ? *result : NULL);
    return status;
}

CORE LONG Core_RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    LONG status = RegOpenKeyExW(key, subKey, options, access, result);
    RecordCall("RegOpenKeyExW",
               {Handle(key), Text(subKey), Number(options), Hex(access), Pointer(result)},
               status == ERROR_SUCCESS ? *result : NULL);
    return status;
}

CORE LONG Core_RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD size) {
    RecordCall("RegQueryValueExW", {Handle(key), Text(name), Pointer(reserved), Pointer(type),
                                    Pointer(data), Pointer(size)});
    return RegQueryValueExW(key, name, reserved, type, data, size);
}

CORE LONG Core_RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD size) {
    RecordCall("RegSetValueExW", {Handle(key), Text(name), Number(reserved), Number(type),
                                  TextBytes(data, size), Number(size)});
    return DeviceRegSetValueExW(key, name, reserved, type, data, size);
}

CORE ATOM Core_RegisterClassW(const WNDCLASSW* windowClass) {
    RecordCall("RegisterClassW",
               {Hex(windowClass->style), Handle(reinterpret_cast<const void*>(windowClass->lpfnWndProc)),
                Number(windowClass->cbClsExtra), Number(windowClass->cbWndExtra),
                Handle(windowClass->hInstance), Handle(windowClass->hIcon),
                Handle(windowClass->hCursor), Handle(windowClass->hbrBackground),
                Text(windowClass->lpszMenuName), Text(windowClass->lpszClassName)});
    WNDCLASSW desktopClass = *windowClass;
    desktopClass.hInstance = ExecutableModule();
    desktopClass.lpfnWndProc = DeviceProcedureCaller;
    ATOM atom = DeviceRegisterClassW(&desktopClass);
    for (RegisteredClass& registered : registeredClasses) {
        if (atom == 0 || registered.atom != 0) continue;
        registered.atom = atom;
        registered.procedure = (DeviceProcedure)windowClass->lpfnWndProc;
        break;
    }
    return atom;
}

CORE LRESULT Core_SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    RecordCall("SendMessageW", {Handle(window), Hex(message), Number(wParam), Number(lParam)});
    return SendMessageW(window, message, wParam, lParam);
}

CORE BOOL Core_SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height,
                            UINT flags) {
    RecordCall("SetWindowPos", {Handle(window), Handle(insertAfter), Number(x), Number(y),
                                Number(width), Number(height), Hex(flags)});
    return SetWindowPos(window, insertAfter, x, y, width, height, flags);
}

CORE BOOL Core_ShowWindow(HWND window, int showCommand) {
    if (!topLevelShown && GetParent(window) == NULL) {
        topLevelShown = true;
        showCommand = SW_SHOW;
    }
    RecordCall("ShowWindow", {Handle(window), Number(showCommand)});
    return ShowWindow(window, showCommand);
}

CORE void Core_Sleep(DWORD milliseconds) {
    RecordCall("Sleep", {Number(milliseconds)});
    Sleep(milliseconds);
}

CORE int Core_TranslateAcceleratorW(HWND window, HACCEL table, MSG* message) {
    RecordMessageTraffic("TranslateAcceleratorW",
                         {window == message->hwnd ? Literal("message.hwnd") : Handle(window),
                          Handle(table), Pointer(message)});
    return TranslateAcceleratorW(window, table, message);
}

CORE BOOL Core_TranslateMessage(const MSG* message) {
    RecordMessageTraffic("TranslateMessage", {Pointer(message)});
    return TranslateMessage(message);
}

CORE BOOL Core_UpdateWindow(HWND window) {
    RecordCall("UpdateWindow", {Handle(window)});
    return UpdateWindow(window);
}

CORE size_t Core_wcslen(LPCWSTR text) {
    RecordCall("wcslen", {Text(text)});
    return wcslen(text);
}

CORE int Core_wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    int count = qoz::FormatIntoWsprintfBuffer(buffer, format, args);
    va_end(args);
    RecordCall("wsprintfW", {Pointer(buffer), Text(format), Text(buffer)});
    return count;
}
