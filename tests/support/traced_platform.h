// Included first into each of the program's files in its traced build (see
// CMakeLists.txt): every platform call the program makes but DefWindowProcW
// goes through the call trace (call_trace.cpp), which records each one and
// passes it on unchanged.
#pragma once

#include "platform/platform.h"

ATOM TracedRegisterClassW(const WNDCLASSW* windowClass);
HWND TracedCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                           int y, int width, int height, HWND parent, HMENU menu,
                           HINSTANCE instance, void* param);
BOOL TracedSetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height,
                        UINT flags);
BOOL TracedShowWindow(HWND window, int showCommand);
BOOL TracedUpdateWindow(HWND window);
int TracedGetSystemMetrics(int index);
BOOL TracedGetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax);
HDC TracedBeginPaint(HWND window, PAINTSTRUCT* paint);
HANDLE TracedCreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                          LPCWSTR name);
BOOL TracedEventModify(HANDLE event, DWORD action);
LONG TracedRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG TracedRegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                           REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                           LPDWORD disposition);
LONG TracedRegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                          DWORD size);
LONG TracedRegCloseKey(HKEY key);
void TracedNKDbgPrintfW(LPCWSTR format, ...);
BOOL TracedInvalidateRect(HWND window, const RECT* rect, BOOL erase);
LRESULT TracedSendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void TracedPostQuitMessage(int exitCode);
BOOL TracedTranslateMessage(const MSG* message);
LRESULT TracedDispatchMessageW(const MSG* message);
HACCEL TracedLoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName);
int TracedTranslateAcceleratorW(HWND window, HACCEL table, MSG* message);
BOOL TracedEndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL TracedPolyline(HDC deviceContext, const POINT* points, int count);
HGDIOBJ TracedGetStockObject(int index);
LONG TracedRegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                            LPBYTE data, LPDWORD size);
void TracedSleep(DWORD milliseconds);
int TracedWsprintfW(LPWSTR buffer, LPCWSTR format, ...);
size_t TracedWcslen(LPCWSTR text);

#define RegisterClassW TracedRegisterClassW
#define CreateWindowExW TracedCreateWindowExW
#define SetWindowPos TracedSetWindowPos
#define ShowWindow TracedShowWindow
#define UpdateWindow TracedUpdateWindow
#define GetSystemMetrics TracedGetSystemMetrics
#define GetMessageW TracedGetMessageW
#define BeginPaint TracedBeginPaint
#define CreateEventW TracedCreateEventW
#define EventModify TracedEventModify
#define RegOpenKeyExW TracedRegOpenKeyExW
#define RegCreateKeyExW TracedRegCreateKeyExW
#define RegSetValueExW TracedRegSetValueExW
#define RegCloseKey TracedRegCloseKey
#define NKDbgPrintfW TracedNKDbgPrintfW
#define InvalidateRect TracedInvalidateRect
#define SendMessageW TracedSendMessageW
#define PostQuitMessage TracedPostQuitMessage
#define TranslateMessage TracedTranslateMessage
#define DispatchMessageW TracedDispatchMessageW
#define LoadAcceleratorsW TracedLoadAcceleratorsW
#define TranslateAcceleratorW TracedTranslateAcceleratorW
#define EndPaint TracedEndPaint
#define Polyline TracedPolyline
#define GetStockObject TracedGetStockObject
#define RegQueryValueExW TracedRegQueryValueExW
#define Sleep TracedSleep
#define wsprintfW TracedWsprintfW
#define wcslen TracedWcslen
