// coredll.dll for desktop Windows: the exports of the device's coredll that
// the device build of qozcal imports, with the device's calling convention
// (cdecl), each made with the desktop's own call or, where the desktop
// differs from the device, with the stand-ins of device_calls.h. With it the
// device's qozcal.exe runs, unchanged, on desktop Windows and under Wine.
// coredll-standin.def (made from platform/device/coredll.def) exports each
// Core_NAME below as NAME.
#include <string>

#include "platform/common/call_lines.h"
#include "platform/common/wide_format.h"
#include "platform/win32/call_recording.h"
#include "platform/win32/device_calls.h"

#define CORE extern "C" __cdecl

// Records the call as platform/common/call_lines.h writes it, while a record
// is being kept.
#define RECORD(call, ...)                                                                  \
    do {                                                                                   \
        if (qoz::CallRecord* record = Recording()) qoz::calls::call(*record, __VA_ARGS__); \
    } while (0)

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
    RECORD(BeginPaint, window, paint);
    return BeginPaint(window, paint);
}

CORE HANDLE Core_CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                              LPCWSTR name) {
    HANDLE event = CreateEventW(security, manualReset, initialState, name);
    RECORD(CreateEventW, security, manualReset, initialState, name, event);
    return event;
}

CORE HWND Core_CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                               int x, int y, int width, int height, HWND parent, HMENU menu,
                               HINSTANCE instance, LPVOID param) {
    HWND window = DeviceCreateWindowExW(exStyle, className, windowName, style, x, y, width, height,
                                        parent, menu, ExecutableModule(), param);
    RECORD(CreateWindowExW, exStyle, className, windowName, style, x, y, width, height, parent,
           menu, instance, param, window);
    return window;
}

CORE LRESULT Core_DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

CORE LRESULT Core_DispatchMessageW(const MSG* message) {
    RECORD(DispatchMessageW, message);
    return DispatchMessageW(message);
}

CORE BOOL Core_EndPaint(HWND window, const PAINTSTRUCT* paint) {
    RECORD(EndPaint, window, paint);
    return EndPaint(window, paint);
}

CORE BOOL Core_EventModify(HANDLE event, DWORD action) {
    RECORD(EventModify, event, action);
    return EventModify(event, action);
}

// On the device the primary thread's end is the process's end. This is the
// start-up's call, not the program's: it ends the record unrecorded.
CORE void Core_ExitThread(DWORD exitCode) {
    FinishCallRecord();
    ExitProcess(exitCode);
}

CORE BOOL Core_GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
    RECORD(GetMessageW, message, window, filterMin, filterMax);
    return GetMessageW(message, window, filterMin, filterMax);
}

CORE HGDIOBJ Core_GetStockObject(int index) {
    HGDIOBJ object = GetStockObject(index);
    RECORD(GetStockObject, index, object);
    return object;
}

CORE int Core_GetSystemMetrics(int index) {
    RECORD(GetSystemMetrics, index);
    return GetSystemMetrics(index);
}

CORE BOOL Core_InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    RECORD(InvalidateRect, window, rect, erase);
    return InvalidateRect(window, rect, erase);
}

CORE HACCEL Core_LoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName) {
    HACCEL table = LoadAcceleratorsW(ExecutableModule(), tableName);
    RECORD(LoadAcceleratorsW, instance, tableName, table);
    return table;
}

CORE void Core_NKDbgPrintfW(LPCWSTR format, ...) {
    std::wstring text;
    QOZ_FORMAT_ARGUMENTS(text, format);
    RECORD(NKDbgPrintfW, text.c_str());
    OutputDebugStringW(text.c_str());
}

CORE BOOL Core_Polyline(HDC deviceContext, const POINT* points, int count) {
    RECORD(Polyline, deviceContext, points, count);
    return Polyline(deviceContext, points, count);
}

CORE void Core_PostQuitMessage(int exitCode) {
    RECORD(PostQuitMessage, exitCode);
    PostQuitMessage(exitCode);
}

CORE LONG Core_RegCloseKey(HKEY key) {
    RECORD(RegCloseKey, key);
    return RegCloseKey(key);
}

CORE LONG Core_RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                               DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                               PHKEY result, LPDWORD disposition) {
    LONG status = DeviceRegCreateKeyExW(key, subKey, reserved, keyClass, options, access, security,
                                        result, disposition);
    RECORD(RegCreateKeyExW, key, subKey, reserved, keyClass, options, access, security, result,
           disposition, status == ERROR_SUCCESS ? *result : NULL);
    return status;
}

CORE LONG Core_RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    LONG status = RegOpenKeyExW(key, subKey, options, access, result);
    RECORD(RegOpenKeyExW, key, subKey, options, access, result,
           status == ERROR_SUCCESS ? *result : NULL);
    return status;
}

CORE LONG Core_RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD size) {
    RECORD(RegQueryValueExW, key, name, reserved, type, data, size);
    return RegQueryValueExW(key, name, reserved, type, data, size);
}

CORE LONG Core_RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD size) {
    RECORD(RegSetValueExW, key, name, reserved, type, data, size);
    return DeviceRegSetValueExW(key, name, reserved, type, data, size);
}

CORE ATOM Core_RegisterClassW(const WNDCLASSW* windowClass) {
    RECORD(RegisterClassW, windowClass);
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
    RECORD(SendMessageW, window, message, wParam, lParam);
    return SendMessageW(window, message, wParam, lParam);
}

CORE BOOL Core_SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height,
                            UINT flags) {
    RECORD(SetWindowPos, window, insertAfter, x, y, width, height, flags);
    return SetWindowPos(window, insertAfter, x, y, width, height, flags);
}

CORE BOOL Core_ShowWindow(HWND window, int showCommand) {
    if (!topLevelShown && GetParent(window) == NULL) {
        topLevelShown = true;
        showCommand = SW_SHOW;
    }
    RECORD(ShowWindow, window, showCommand);
    return ShowWindow(window, showCommand);
}

CORE void Core_Sleep(DWORD milliseconds) {
    RECORD(Sleep, milliseconds);
    Sleep(milliseconds);
}

CORE int Core_TranslateAcceleratorW(HWND window, HACCEL table, MSG* message) {
    RECORD(TranslateAcceleratorW, window, table, message);
    return TranslateAcceleratorW(window, table, message);
}

CORE BOOL Core_TranslateMessage(const MSG* message) {
    RECORD(TranslateMessage, message);
    return TranslateMessage(message);
}

CORE BOOL Core_UpdateWindow(HWND window) {
    RECORD(UpdateWindow, window);
    return UpdateWindow(window);
}

CORE size_t Core_wcslen(LPCWSTR text) {
    RECORD(wcslen, text);
    return wcslen(text);
}

CORE int Core_wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    std::wstring text;
    QOZ_FORMAT_ARGUMENTS(text, format);
    int count = qoz::CopyIntoWsprintfBuffer(buffer, text);
    RECORD(wsprintfW, buffer, format);
    return count;
}
