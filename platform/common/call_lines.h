// How each platform call the program makes is written into a CallRecord:
// which of its arguments, in what form, and whether it is one of the
// program's own calls or message traffic. The host's traced build and the
// coredll stand-in both record through these, over their own types (the
// host's declarations or <windows.h>), so that their records compare line
// for line. DefWindowProcW is not recorded: how often the program passes a
// message on depends only on what the system sends it.
#pragma once

#include "platform/common/call_record.h"

namespace qoz::calls {

template <typename Char>
CallArgument Text(const Char* text) {
    static_assert(sizeof(Char) == sizeof(char16_t));
    return qoz::Text(reinterpret_cast<const char16_t*>(text));
}

inline const void* Address(auto* pointer) { return reinterpret_cast<const void*>(pointer); }

inline void BeginPaint(CallRecord& record, auto window, auto paint) {
    record.Traffic("BeginPaint", {Handle(window), Pointer(paint)});
}

inline void CreateEventW(CallRecord& record, auto security, int manualReset, int initialState,
                         auto name, auto event) {
    record.Call("CreateEventW",
                {Pointer(security), Number(manualReset), Number(initialState), Text(name)}, event);
}

inline void CreateWindowExW(CallRecord& record, unsigned long exStyle, auto className,
                            auto windowName, unsigned long style, int x, int y, int width,
                            int height, auto parent, auto menu, auto instance, auto param,
                            auto window) {
    record.Call("CreateWindowExW",
                {Hex(exStyle), Text(className), Text(windowName), Hex(style), Number(x), Number(y),
                 Number(width), Number(height), Handle(parent), Handle(menu), Handle(instance),
                 Pointer(param)},
                window);
}

inline void DispatchMessageW(CallRecord& record, auto message) {
    record.Traffic("DispatchMessageW", {Pointer(message)});
}

inline void EndPaint(CallRecord& record, auto window, auto paint) {
    record.Traffic("EndPaint", {Handle(window), Pointer(paint)});
}

inline void EventModify(CallRecord& record, auto event, unsigned long action) {
    record.Call("EventModify", {Handle(event), Number(action)});
}

inline void GetMessageW(CallRecord& record, auto message, auto window, unsigned filterMin,
                        unsigned filterMax) {
    record.Traffic("GetMessageW",
                   {Pointer(message), Handle(window), Number(filterMin), Number(filterMax)});
}

inline void GetStockObject(CallRecord& record, int index, auto object) {
    record.Call("GetStockObject", {Number(index)}, object);
}

inline void GetSystemMetrics(CallRecord& record, int index) {
    record.Call("GetSystemMetrics", {Number(index)});
}

inline void InvalidateRect(CallRecord& record, auto window, auto rect, int erase) {
    record.Traffic("InvalidateRect", {Handle(window), Rectangle(rect), Number(erase)});
}

inline void LoadAcceleratorsW(CallRecord& record, auto instance, auto tableName, auto table) {
    record.Call("LoadAcceleratorsW", {Handle(instance), Text(tableName)}, table);
}

// The line as NKDbgPrintfW formatted it.
inline void NKDbgPrintfW(CallRecord& record, auto text) {
    record.Call("NKDbgPrintfW", {Text(text)});
}

inline void Polyline(CallRecord& record, auto deviceContext, auto points, int count) {
    record.Traffic("Polyline", {Handle(deviceContext), Points(points, count)});
}

inline void PostQuitMessage(CallRecord& record, int exitCode) {
    record.Call("PostQuitMessage", {Number(exitCode)});
}

inline void RegCloseKey(CallRecord& record, auto key) { record.Call("RegCloseKey", {Handle(key)}); }

// opened: the key the call gave back, or null.
inline void RegCreateKeyExW(CallRecord& record, auto key, auto subKey, unsigned long reserved,
                            auto keyClass, unsigned long options, unsigned long access,
                            auto security, auto result, auto disposition, auto opened) {
    record.Call("RegCreateKeyExW",
                {Handle(key), Text(subKey), Number(reserved), Text(keyClass), Number(options),
                 Hex(access), Pointer(security), Pointer(result), Pointer(disposition)},
                opened);
}

inline void RegOpenKeyExW(CallRecord& record, auto key, auto subKey, unsigned long options,
                          unsigned long access, auto result, auto opened) {
    record.Call("RegOpenKeyExW",
                {Handle(key), Text(subKey), Number(options), Hex(access), Pointer(result)}, opened);
}

inline void RegQueryValueExW(CallRecord& record, auto key, auto name, auto reserved, auto type,
                             auto data, auto size) {
    record.Call("RegQueryValueExW", {Handle(key), Text(name), Pointer(reserved), Pointer(type),
                                     Pointer(data), Pointer(size)});
}

inline void RegSetValueExW(CallRecord& record, auto key, auto name, unsigned long reserved,
                           unsigned long type, const void* data, unsigned long size) {
    record.Call("RegSetValueExW", {Handle(key), Text(name), Number(reserved), Number(type),
                                   TextBytes(data, size), Number(size)});
}

inline void RegisterClassW(CallRecord& record, const auto* windowClass) {
    record.Call("RegisterClassW",
                {Hex(windowClass->style), Handle(Address(windowClass->lpfnWndProc)),
                 Number(windowClass->cbClsExtra), Number(windowClass->cbWndExtra),
                 Handle(windowClass->hInstance), Handle(windowClass->hIcon),
                 Handle(windowClass->hCursor), Handle(windowClass->hbrBackground),
                 Text(windowClass->lpszMenuName), Text(windowClass->lpszClassName)});
}

inline void SendMessageW(CallRecord& record, auto window, unsigned message, uintptr_t wParam,
                         intptr_t lParam) {
    record.Call("SendMessageW",
                {Handle(window), Hex(message), Number((long long)wParam), Number(lParam)});
}

inline void SetWindowPos(CallRecord& record, auto window, auto insertAfter, int x, int y, int width,
                         int height, unsigned flags) {
    record.Call("SetWindowPos", {Handle(window), Handle(insertAfter), Number(x), Number(y),
                                 Number(width), Number(height), Hex(flags)});
}

inline void ShowWindow(CallRecord& record, auto window, int showCommand) {
    record.Call("ShowWindow", {Handle(window), Number(showCommand)});
}

inline void Sleep(CallRecord& record, unsigned long milliseconds) {
    record.Call("Sleep", {Number(milliseconds)});
}

inline void TranslateAcceleratorW(CallRecord& record, auto window, auto table, auto message) {
    record.Traffic("TranslateAcceleratorW",
                   {window == message->hwnd ? Literal("message.hwnd") : Handle(window),
                    Handle(table), Pointer(message)});
}

inline void TranslateMessage(CallRecord& record, auto message) {
    record.Traffic("TranslateMessage", {Pointer(message)});
}

inline void UpdateWindow(CallRecord& record, auto window) {
    record.Call("UpdateWindow", {Handle(window)});
}

inline void wcslen(CallRecord& record, auto text) { record.Call("wcslen", {Text(text)}); }

// The text wsprintfW formatted into the buffer.
inline void wsprintfW(CallRecord& record, auto buffer, auto format) {
    record.Call("wsprintfW", {Pointer(buffer), Text(format), Text(buffer)});
}

}  // namespace qoz::calls
