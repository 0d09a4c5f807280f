// The one header the program includes: the Win32/CE types, constants and
// calls it uses. Built with the device's own SDK (_WIN32_WCE) or for desktop
// Windows, they come from the system's headers. Otherwise they are declared
// here, once, for two users: the host simulator in platform/host/, which
// implements every call, and the device build made without the SDK
// (QOZCAL_DEVICE), which imports every call from coredll.dll, where the
// system interface is cdecl.
#pragma once

#if defined(_WIN32_WCE) || (defined(_WIN32) && !defined(QOZCAL_DEVICE))
#include "platform/win32/win32_platform.h"
#else

#include <stddef.h>
#include <stdint.h>

#if defined(QOZCAL_DEVICE)
#define WINAPI __cdecl
#define CALLBACK __cdecl
#define QOZ_SYSTEM_CALL extern "C" __declspec(dllimport)
typedef wchar_t WCHAR;
#define TEXT(quote) L##quote
#else
#define WINAPI
#define CALLBACK
#define QOZ_SYSTEM_CALL
typedef char16_t WCHAR;
#define TEXT(quote) u##quote
#endif

// ---- Basic types -----------------------------------------------------------
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

typedef int BOOL;
typedef int INT;
typedef unsigned int UINT;
typedef uint8_t BYTE;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef uint16_t WORD;
typedef uint16_t ATOM;
typedef uint32_t DWORD;
typedef DWORD* LPDWORD;
typedef int32_t LONG;
typedef DWORD REGSAM;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void* HANDLE;
typedef void* HGDIOBJ;

#define QOZ_DECLARE_HANDLE(name) \
    struct name##__;             \
    typedef struct name##__* name
QOZ_DECLARE_HANDLE(HKEY);
QOZ_DECLARE_HANDLE(HWND);
QOZ_DECLARE_HANDLE(HINSTANCE);
QOZ_DECLARE_HANDLE(HDC);
QOZ_DECLARE_HANDLE(HBRUSH);
QOZ_DECLARE_HANDLE(HMENU);
QOZ_DECLARE_HANDLE(HICON);
QOZ_DECLARE_HANDLE(HCURSOR);
QOZ_DECLARE_HANDLE(HACCEL);
#undef QOZ_DECLARE_HANDLE
typedef HKEY* PHKEY;

#define TRUE 1
#define FALSE 0

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG;

typedef struct tagWNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
} WNDCLASSW;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xffff))
#define MAKELONG(lo, hi) ((LONG)(((WORD)(lo)) | (((DWORD)((WORD)(hi))) << 16)))
#define MAKELPARAM(lo, hi) ((LPARAM)(DWORD)MAKELONG(lo, hi))
#define MAKEWPARAM(lo, hi) ((WPARAM)(DWORD)MAKELONG(lo, hi))

// ---- Error codes (the Windows values) ---------------------------------------
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INVALID_NAME 123L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_MORE_DATA 234L
#define ERROR_BADDB 1009L
#define ERROR_REGISTRY_CORRUPT 1015L
#define ERROR_REGISTRY_IO_FAILED 1016L
#define ERROR_KEY_DELETED 1018L
#define ERROR_FILE_CORRUPT 1392L
#define ERROR_TIMEOUT 1460L

QOZ_SYSTEM_CALL DWORD WINAPI GetLastError(void);
QOZ_SYSTEM_CALL void WINAPI SetLastError(DWORD error);

// ---- Registry ---------------------------------------------------------------
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define KEY_ALL_ACCESS 0xF003FL
#define REG_OPTION_NON_VOLATILE 0L
#define REG_CREATED_NEW_KEY 1L
#define REG_OPENED_EXISTING_KEY 2L
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

QOZ_SYSTEM_CALL LONG WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access,
                                          PHKEY result);
QOZ_SYSTEM_CALL LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved,
                                            LPWSTR keyClass, DWORD options, REGSAM access,
                                            LPSECURITY_ATTRIBUTES security, PHKEY result,
                                            LPDWORD disposition);
QOZ_SYSTEM_CALL LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                                           const BYTE* data, DWORD size);
QOZ_SYSTEM_CALL LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved,
                                             LPDWORD type, LPBYTE data, LPDWORD size);
QOZ_SYSTEM_CALL LONG WINAPI RegCloseKey(HKEY key);

// ---- Events -----------------------------------------------------------------
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu

QOZ_SYSTEM_CALL HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset,
                                           BOOL initialState, LPCWSTR name);
QOZ_SYSTEM_CALL BOOL WINAPI EventModify(HANDLE event, DWORD action);
#define SetEvent(event) EventModify((event), EVENT_SET)
#define PulseEvent(event) EventModify((event), EVENT_PULSE)
#define ResetEvent(event) EventModify((event), EVENT_RESET)
QOZ_SYSTEM_CALL DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
#define MAXIMUM_WAIT_OBJECTS 64
// Any one of the events (waitAll FALSE), as on the device.
QOZ_SYSTEM_CALL DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* handles,
                                                    BOOL waitAll, DWORD milliseconds);
QOZ_SYSTEM_CALL BOOL WINAPI CloseHandle(HANDLE handle);

// ---- Debug output, formatting, text, time -----------------------------------
QOZ_SYSTEM_CALL void NKDbgPrintfW(LPCWSTR format, ...);
QOZ_SYSTEM_CALL int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
QOZ_SYSTEM_CALL size_t wcslen(LPCWSTR text);
QOZ_SYSTEM_CALL void WINAPI Sleep(DWORD milliseconds);

// ---- Windows ----------------------------------------------------------------
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_BORDER 0x00800000L
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CW_USEDEFAULT ((int)0x80000000)
#define HWND_TOPMOST ((HWND)(intptr_t)-1)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SW_HIDE 0
#define SW_SHOW 5
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define WHITE_BRUSH 0
#define BN_CLICKED 0
#define MK_LBUTTON 0x0001

#define WM_DESTROY 0x0002
#define WM_PAINT 0x000F
#define WM_QUIT 0x0012
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_COMMAND 0x0111
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202

#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20

QOZ_SYSTEM_CALL ATOM WINAPI RegisterClassW(const WNDCLASSW* windowClass);
QOZ_SYSTEM_CALL HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName,
                                            DWORD style, int x, int y, int width, int height,
                                            HWND parent, HMENU menu, HINSTANCE instance,
                                            void* param);
QOZ_SYSTEM_CALL BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width,
                                         int height, UINT flags);
QOZ_SYSTEM_CALL BOOL WINAPI ShowWindow(HWND window, int showCommand);
QOZ_SYSTEM_CALL BOOL WINAPI UpdateWindow(HWND window);
QOZ_SYSTEM_CALL BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase);
QOZ_SYSTEM_CALL LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam);
QOZ_SYSTEM_CALL LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
QOZ_SYSTEM_CALL void WINAPI PostQuitMessage(int exitCode);
QOZ_SYSTEM_CALL int WINAPI GetSystemMetrics(int index);

// ---- Messages ---------------------------------------------------------------
QOZ_SYSTEM_CALL BOOL WINAPI GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax);
QOZ_SYSTEM_CALL BOOL WINAPI TranslateMessage(const MSG* message);
QOZ_SYSTEM_CALL LRESULT WINAPI DispatchMessageW(const MSG* message);
QOZ_SYSTEM_CALL HACCEL WINAPI LoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName);
QOZ_SYSTEM_CALL int WINAPI TranslateAcceleratorW(HWND window, HACCEL table, MSG* message);

// ---- Painting ---------------------------------------------------------------
QOZ_SYSTEM_CALL HDC WINAPI BeginPaint(HWND window, PAINTSTRUCT* paint);
QOZ_SYSTEM_CALL BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint);
QOZ_SYSTEM_CALL BOOL WINAPI Polyline(HDC deviceContext, const POINT* points, int count);
QOZ_SYSTEM_CALL HGDIOBJ WINAPI GetStockObject(int index);

#if defined(QOZCAL_DEVICE)
// The device build's start-up ends the process with it: the primary thread's
// end is the process's end on the device.
QOZ_SYSTEM_CALL void WINAPI ExitThread(DWORD exitCode);
#endif

#endif

// ---- Program entry ----------------------------------------------------------
// The program provides AppMain; the platform's start-up calls it and makes its
// result the process exit code.
int AppMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand);
