// The traced calls of traced_platform.h. This file sees the real platform
// calls: it records each call and then makes it, unless it is to fail.
#include "tests/support/call_trace.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <map>
#include <set>

#include "platform/common/call_lines.h"
#include "platform/common/utf16.h"
#include "platform/common/wide_format.h"
#include "platform/host/user32/window_table.h"
#include "platform/platform.h"

namespace {

std::vector<std::string> lines;
std::vector<std::string> failingPrefixes;
std::set<HKEY> openKeys;
std::map<HANDLE, std::string> eventNames;  // kept across ClearCallTrace
qoz::CallRecord record;

std::string Text(LPCWSTR text) { return text ? qoz::Utf16ToUtf8(text) : "(null)"; }

std::string Title(HWND window) {
    const qoz::host::Window* found = qoz::host::LookUpWindow(window);
    return found ? qoz::Utf16ToUtf8(found->text) : "(no window)";
}

// Records the line; true when the call is to fail.
bool Record(std::string line) {
    bool fails = std::ranges::any_of(
        failingPrefixes, [&](const std::string& prefix) { return line.starts_with(prefix); });
    lines.push_back(std::move(line));
    return fails;
}

LONG FailedKey(PHKEY result) {
    if (result) *result = nullptr;
    return ERROR_ACCESS_DENIED;
}

LONG KeptOpen(LONG status, PHKEY result) {
    if (status == ERROR_SUCCESS) openKeys.insert(*result);
    return status;
}

}  // namespace

void ClearCallTrace() {
    lines.clear();
    record.Clear();
    failingPrefixes.clear();
    openKeys.clear();
}

std::vector<std::string> CallTrace(const std::vector<std::string>& prefixes) {
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (std::ranges::any_of(prefixes,
                                [&](const auto& prefix) { return line.starts_with(prefix); }))
            found.push_back(line);
    return found;
}

void FailCallsStartingWith(const std::string& prefix) { failingPrefixes.push_back(prefix); }

int RegistryKeysLeftOpen() { return int(openKeys.size()); }

std::string CallRecordText() { return record.Text(); }

ATOM TracedRegisterClassW(const WNDCLASSW* windowClass) {
    qoz::calls::RegisterClassW(record, windowClass);
    Record("RegisterClassW \"" + Text(windowClass->lpszClassName) + "\"");
    return RegisterClassW(windowClass);
}

HWND TracedCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                           int y, int width, int height, HWND parent, HMENU menu,
                           HINSTANCE instance, void* param) {
    HWND window = nullptr;
    if (!Record("CreateWindowExW \"" + Text(className) + "\" \"" + Text(windowName) + "\""))
        window = CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, parent,
                                 menu, instance, param);
    qoz::calls::CreateWindowExW(record, exStyle, className, windowName, style, x, y, width, height,
                                parent, menu, instance, param, window);
    return window;
}

BOOL TracedSetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height,
                        UINT flags) {
    qoz::calls::SetWindowPos(record, window, insertAfter, x, y, width, height, flags);
    Record("SetWindowPos " + Title(window));
    return SetWindowPos(window, insertAfter, x, y, width, height, flags);
}

BOOL TracedShowWindow(HWND window, int showCommand) {
    qoz::calls::ShowWindow(record, window, showCommand);
    Record("ShowWindow " + Title(window) + " " + std::to_string(showCommand));
    return ShowWindow(window, showCommand);
}

BOOL TracedUpdateWindow(HWND window) {
    qoz::calls::UpdateWindow(record, window);
    Record("UpdateWindow " + Title(window));
    return UpdateWindow(window);
}

int TracedGetSystemMetrics(int index) {
    qoz::calls::GetSystemMetrics(record, index);
    Record("GetSystemMetrics " + std::to_string(index));
    return GetSystemMetrics(index);
}

BOOL TracedGetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
    qoz::calls::GetMessageW(record, message, window, filterMin, filterMax);
    Record("GetMessageW");
    return GetMessageW(message, window, filterMin, filterMax);
}

HDC TracedBeginPaint(HWND window, PAINTSTRUCT* paint) {
    qoz::calls::BeginPaint(record, window, paint);
    Record("BeginPaint " + Title(window));
    return BeginPaint(window, paint);
}

HANDLE TracedCreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                          LPCWSTR name) {
    Record("CreateEventW " + Text(name));
    HANDLE event = CreateEventW(security, manualReset, initialState, name);
    qoz::calls::CreateEventW(record, security, manualReset, initialState, name, event);
    eventNames[event] = Text(name);
    return event;
}

BOOL TracedEventModify(HANDLE event, DWORD action) {
    const char* actions[] = {"?", "pulse", "reset", "set"};
    qoz::calls::EventModify(record, event, action);
    Record("EventModify " + eventNames[event] + " " + actions[action <= 3 ? action : 0]);
    return EventModify(event, action);
}

LONG TracedRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    LONG status = Record("RegOpenKeyExW " + Text(subKey))
                      ? FailedKey(result)
                      : KeptOpen(RegOpenKeyExW(key, subKey, options, access, result), result);
    qoz::calls::RegOpenKeyExW(record, key, subKey, options, access, result,
                              status == ERROR_SUCCESS ? *result : nullptr);
    return status;
}

LONG TracedRegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                           REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                           LPDWORD disposition) {
    LONG status = Record("RegCreateKeyExW " + Text(subKey))
                      ? FailedKey(result)
                      : KeptOpen(RegCreateKeyExW(key, subKey, reserved, keyClass, options, access,
                                                 security, result, disposition),
                                 result);
    qoz::calls::RegCreateKeyExW(record, key, subKey, reserved, keyClass, options, access, security,
                                result, disposition, status == ERROR_SUCCESS ? *result : nullptr);
    return status;
}

LONG TracedRegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                          DWORD size) {
    qoz::calls::RegSetValueExW(record, key, valueName, reserved, type, data, size);
    std::u16string text(size / 2, u'\0');
    if (data) std::memcpy(text.data(), data, text.size() * 2);
    if (Record("RegSetValueExW " + Text(valueName) + " " + qoz::Utf16ToUtf8(text)))
        return ERROR_ACCESS_DENIED;
    return RegSetValueExW(key, valueName, reserved, type, data, size);
}

LONG TracedRegCloseKey(HKEY key) {
    qoz::calls::RegCloseKey(record, key);
    Record("RegCloseKey");
    openKeys.erase(key);
    return RegCloseKey(key);
}

void TracedNKDbgPrintfW(LPCWSTR format, ...) {
    std::u16string text;
    QOZ_FORMAT_ARGUMENTS(text, format);
    qoz::calls::NKDbgPrintfW(record, text.c_str());
    std::string line = qoz::Utf16ToUtf8(text);
    while (line.ends_with('\n') || line.ends_with('\r')) line.pop_back();
    Record("debug " + line);
    NKDbgPrintfW(u"%s", text.c_str());
}

// The calls recorded in full only.

BOOL TracedInvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    qoz::calls::InvalidateRect(record, window, rect, erase);
    return InvalidateRect(window, rect, erase);
}

LRESULT TracedSendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    qoz::calls::SendMessageW(record, window, message, wParam, lParam);
    return SendMessageW(window, message, wParam, lParam);
}

void TracedPostQuitMessage(int exitCode) {
    qoz::calls::PostQuitMessage(record, exitCode);
    PostQuitMessage(exitCode);
}

BOOL TracedTranslateMessage(const MSG* message) {
    qoz::calls::TranslateMessage(record, message);
    return TranslateMessage(message);
}

LRESULT TracedDispatchMessageW(const MSG* message) {
    qoz::calls::DispatchMessageW(record, message);
    return DispatchMessageW(message);
}

HACCEL TracedLoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName) {
    HACCEL table = LoadAcceleratorsW(instance, tableName);
    qoz::calls::LoadAcceleratorsW(record, instance, tableName, table);
    return table;
}

int TracedTranslateAcceleratorW(HWND window, HACCEL table, MSG* message) {
    qoz::calls::TranslateAcceleratorW(record, window, table, message);
    return TranslateAcceleratorW(window, table, message);
}

BOOL TracedEndPaint(HWND window, const PAINTSTRUCT* paint) {
    qoz::calls::EndPaint(record, window, paint);
    return EndPaint(window, paint);
}

BOOL TracedPolyline(HDC deviceContext, const POINT* points, int count) {
    qoz::calls::Polyline(record, deviceContext, points, count);
    return Polyline(deviceContext, points, count);
}

HGDIOBJ TracedGetStockObject(int index) {
    HGDIOBJ object = GetStockObject(index);
    qoz::calls::GetStockObject(record, index, object);
    return object;
}

LONG TracedRegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                            LPBYTE data, LPDWORD size) {
    qoz::calls::RegQueryValueExW(record, key, valueName, reserved, type, data, size);
    return RegQueryValueExW(key, valueName, reserved, type, data, size);
}

void TracedSleep(DWORD milliseconds) {
    qoz::calls::Sleep(record, milliseconds);
    Sleep(milliseconds);
}

int TracedWsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    std::u16string text;
    QOZ_FORMAT_ARGUMENTS(text, format);
    int count = qoz::CopyIntoWsprintfBuffer(buffer, text);
    qoz::calls::wsprintfW(record, buffer, format);
    return count;
}

size_t TracedWcslen(LPCWSTR text) {
    qoz::calls::wcslen(record, text);
    return wcslen(text);
}
