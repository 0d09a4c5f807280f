// Runs on desktop Windows (here: under Wine). For each place where desktop
// Windows differs from the device, it shows the difference with the system's
// own call and that the call as the program makes it, through
// platform/platform.h, behaves as on the device. Prints one "ok"/"not ok" line
// per check and exits with the number of failed checks.
//
// With --settings it instead prints each of the four settings as the registry
// holds them: name, type, size in bytes and the UTF-16 units in hex.
// With --debug-args ARG... it instead writes each argument as one debug line
// and exits with status 3, so that a test can check what qozcal-dbgcap passes
// on and captures.
#include <cstdio>
#include <cwchar>

#include "platform/platform.h"
#include "tests/wine/raw_desktop_calls.h"

namespace {

int failures = 0;

void Check(bool passed, const char* what) {
    std::printf("%s - %s\n", passed ? "ok" : "not ok", what);
    if (!passed) ++failures;
}

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

WNDCLASSW ProbeClass(LPCWSTR name) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ProbeWindowProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = name;
    return windowClass;
}

void CheckEmptyClassName() {
    WNDCLASSW windowClass = ProbeClass(TEXT(""));
    Check(RawRegisterClassW(&windowClass) == 0, "the desktop refuses an empty class name");
    Check(RegisterClassW(&windowClass) != 0, "an empty class name registers as on the device");
    HWND window = CreateWindowExW(0, TEXT(""), TEXT("probe"), WS_BORDER, 0, 0, 240, 320, NULL, NULL,
                                  GetModuleHandleW(NULL), NULL);
    Check(window != NULL, "a window of the empty class name is created");
    WCHAR name[64] = {};
    GetClassNameW(window, name, 64);
    Check(wcscmp(name, deviceEmptyClassStandIn) == 0, "it stands in under its own class name");
    DestroyWindow(window);
}

// Client area of a window placed at (0, 0) with 240 x 320.
void ClientArea(HWND window, RECT& client, POINT& origin) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 240, 320, 0);
    GetClientRect(window, &client);
    origin.x = 0;
    origin.y = 0;
    ClientToScreen(window, &origin);
}

void CheckBorderWithoutCaption() {
    WNDCLASSW windowClass = ProbeClass(TEXT("QozProbeFrame"));
    RegisterClassW(&windowClass);
    RECT client;
    POINT origin;

    HWND desktopWindow = RawCreateWindowExW(0, TEXT("QozProbeFrame"), TEXT("probe"), WS_BORDER, 0,
                                            0, 10, 10, NULL, NULL, GetModuleHandleW(NULL));
    LONG desktopStyle = GetWindowLongW(desktopWindow, GWL_STYLE);
    ClientArea(desktopWindow, client, origin);
    Check((desktopStyle & WS_CAPTION) == WS_CAPTION && client.bottom < 318,
          "the desktop gives a top-level WS_BORDER window a caption");
    DestroyWindow(desktopWindow);

    HWND window =
        CreateWindowExW(0, TEXT("QozProbeFrame"), TEXT("probe"), WS_BORDER, 0, 0, CW_USEDEFAULT,
                        CW_USEDEFAULT, NULL, NULL, GetModuleHandleW(NULL), NULL);
    LONG style = GetWindowLongW(window, GWL_STYLE);
    ClientArea(window, client, origin);
    Check((style & WS_CAPTION) != WS_CAPTION && (style & WS_THICKFRAME) == 0,
          "WS_BORDER alone gives no caption and no sizing frame, as on the device");
    Check(client.right == 238 && client.bottom == 318 && origin.x == 1 && origin.y == 1,
          "a 1-pixel border: the 238 x 318 client area starts at (1, 1)");

    HWND child = CreateWindowExW(0, TEXT("button"), TEXT("child"), WS_CHILD, 1, 1, 30, 30, window,
                                 (HMENU)(UINT_PTR)0x8801, GetModuleHandleW(NULL), NULL);
    Check(child != NULL && (GetWindowLongW(child, GWL_STYLE) & WS_POPUP) == 0,
          "a child window keeps its style");
    DestroyWindow(window);
}

const WCHAR probeKey[] = TEXT("Software\\QozCalDesktopGapsProbe");

bool KeyTakesValue(HKEY key) {
    const WCHAR text[] = TEXT("1");
    return RegSetValueExW(key, TEXT("Value"), 0, REG_SZ, (const BYTE*)text, 2) == ERROR_SUCCESS;
}

void CheckKeyCreatedWithoutAccess() {
    HKEY key = NULL;
    LONG result = RawRegCreateKeyExW(HKEY_CURRENT_USER, probeKey, 0, &key);
    Check(result == ERROR_SUCCESS && !KeyTakesValue(key),
          "the desktop's key created with access 0 cannot be written");
    if (key != NULL) RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, probeKey);

    key = NULL;
    DWORD disposition = 0;
    result = RegCreateKeyExW(HKEY_CURRENT_USER, probeKey, 0, NULL, 0, 0, NULL, &key, &disposition);
    Check(result == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY && KeyTakesValue(key),
          "a key created with access 0 can be written, as on the device");
    if (key != NULL) RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, probeKey);
}

DWORD StoredSize(HKEY key) {
    DWORD size = 0;
    if (RegQueryValueExW(key, TEXT("Value"), NULL, NULL, NULL, &size) != ERROR_SUCCESS) return 0;
    return size;
}

void CheckTextStoredWithoutNul() {
    HKEY key = NULL;
    RegCreateKeyExW(HKEY_CURRENT_USER, probeKey, 0, NULL, 0, 0, NULL, &key, NULL);
    const WCHAR text[] = TEXT("-42.16471");
    RawRegSetValueExW(key, TEXT("Value"), text, 18);
    Check(StoredSize(key) == 20, "the desktop adds a NUL to 9 counted characters followed by one");
    RegSetValueExW(key, TEXT("Value"), 0, REG_SZ, (const BYTE*)text, 18);
    Check(StoredSize(key) == 18, "9 characters are stored as 18 bytes, as on the device");
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, probeKey);
}

void PrintSettings() {
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\QozSerial"), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    const char* names[] = {"ScaleX", "ScaleY", "OffsetX", "OffsetY"};
    for (const char* name : names) {
        WCHAR wideName[16] = {};
        for (int i = 0; name[i] != 0; ++i) wideName[i] = (WCHAR)name[i];
        BYTE data[512];
        DWORD type = 0, size = sizeof data;
        if (RegQueryValueExW(key, wideName, NULL, &type, data, &size) != ERROR_SUCCESS) continue;
        std::printf("%s %lu %lu", name, (unsigned long)type, (unsigned long)size);
        for (DWORD i = 0; i + 1 < size; i += 2) std::printf(" %02x%02x", data[i + 1], data[i]);
        std::printf("\n");
    }
    RegCloseKey(key);
}

void CheckFloatFormatting() {
    WCHAR text[1100];
    RawWsprintfW(text, TEXT("%.5f"), 1.1294);
    Check(wcscmp(text, TEXT("1.12940")) != 0, "the desktop's wsprintfW has no %f");

    wsprintfW(text, TEXT("%.5f"), 1.1294);
    Check(wcscmp(text, TEXT("1.12940")) == 0, "wsprintfW formats 1.1294 as 1.12940");
    wsprintfW(text, TEXT("%.5f"), -42.164711);
    Check(wcscmp(text, TEXT("-42.16471")) == 0, "wsprintfW formats -42.164711 as -42.16471");
    wsprintfW(text, TEXT("[%d] [%s]"), 18, TEXT("OffsetX"));
    Check(wcscmp(text, TEXT("[18] [OffsetX]")) == 0, "wsprintfW formats %d and a wide %s");

    text[1023] = 'x';
    text[1024] = 'x';
    int written = wsprintfW(text, TEXT("%1050d"), 7);
    Check(written == 1023 && text[1023] == 0 && text[1024] == 'x',
          "wsprintfW writes at most 1024 characters with the NUL");
}

void CheckEventModify() {
    HANDLE event = CreateEventW(NULL, FALSE, FALSE, TEXT("QozCalDesktopGapsProbeEvent"));
    Check(EventModify(event, EVENT_SET) && WaitForSingleObject(event, 0) == WAIT_OBJECT_0 &&
              WaitForSingleObject(event, 0) == WAIT_TIMEOUT,
          "EventModify sets an automatic-reset event for one wait");
    Check(EventModify(event, EVENT_SET) && EventModify(event, EVENT_RESET) &&
              WaitForSingleObject(event, 0) == WAIT_TIMEOUT,
          "EventModify resets a set event");
    Check(EventModify(event, EVENT_PULSE) && WaitForSingleObject(event, 0) == WAIT_TIMEOUT,
          "EventModify pulses: with nobody waiting the event stays reset");
    SetLastError(0);
    Check(!EventModify(event, 0) && GetLastError() == ERROR_INVALID_PARAMETER,
          "EventModify refuses an unknown action");
    CloseHandle(event);
}

// The debug output is checked by whoever captures it (qozcal-dbgcap).
void WriteDebugLines() {
    NKDbgPrintfW(TEXT("Probe : [%d] [%s] - [%.5f]\r\n"), 2, TEXT("ScaleX"), 1.1294);
    NKDbgPrintfW(TEXT("Probe : a lone line feed\n"));
    WCHAR longLine[2100];
    for (int i = 0; i < 2000; ++i) longLine[i] = 'x';
    longLine[2000] = 0;
    NKDbgPrintfW(TEXT("Probe : %s\r\n"), longLine);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && wcscmp(argv[1], L"--debug-args") == 0) {
        for (int i = 2; i < argc; ++i) NKDbgPrintfW(TEXT("%s\n"), argv[i]);
        return 3;
    }
    if (argc == 2 && wcscmp(argv[1], L"--settings") == 0) {
        PrintSettings();
        return 0;
    }
    CheckEmptyClassName();
    CheckBorderWithoutCaption();
    CheckKeyCreatedWithoutAccess();
    CheckTextStoredWithoutNul();
    CheckFloatFormatting();
    CheckEventModify();
    WriteDebugLines();
    std::printf("%d failed\n", failures);
    std::fflush(stdout);
    return failures;
}
