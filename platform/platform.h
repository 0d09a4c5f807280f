// The one header the program includes: the Win32/CE types, constants and
// calls it uses. On the device and on desktop Windows they come from the
// system; on Linux the host simulator in platform/host/ provides them.
#pragma once

#if defined(_WIN32)
#include "platform/win32/win32_platform.h"
#else

#include <stddef.h>
#include <stdint.h>

// ---- Basic types -----------------------------------------------------------
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
#define TEXT(quote) u##quote

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

#define WINAPI
#define CALLBACK
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

DWORD GetLastError(void);
void SetLastError(DWORD error);

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

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);
LONG RegCloseKey(HKEY key);

// ---- Events -----------------------------------------------------------------
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                    LPCWSTR name);
BOOL EventModify(HANDLE event, DWORD action);
#define SetEvent(event) EventModify((event), EVENT_SET)
#define PulseEvent(event) EventModify((event), EVENT_PULSE)
#define ResetEvent(event) EventModify((event), EVENT_RESET)
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);

// ---- Debug output, formatting, text, time -----------------------------------
void NKDbgPrintfW(LPCWSTR format, ...);
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
size_t wcslen(LPCWSTR text);
void Sleep(DWORD milliseconds);

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

ATOM RegisterClassW(const WNDCLASSW* windowClass);
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL ShowWindow(HWND window, int showCommand);
BOOL UpdateWindow(HWND window);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
int GetSystemMetrics(int index);

// ---- Messages ---------------------------------------------------------------
BOOL GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageW(const MSG* message);
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName);
int TranslateAcceleratorW(HWND window, HACCEL table, MSG* message);

// ---- Painting ---------------------------------------------------------------
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL Polyline(HDC deviceContext, const POINT* points, int count);
HGDIOBJ GetStockObject(int index);

#endif

// ---- Program entry ----------------------------------------------------------
// The program provides AppMain; the platform's start-up calls it and makes its
// result the process exit code.
int AppMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand);
