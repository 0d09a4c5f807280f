#include <cstdarg>
#include <string>

#include "platform/common/wide_format.h"
#include "platform/win32/device_calls.h"

void DeviceDebugPrint(LPCWSTR format, va_list args) {
    std::wstring text;
    qoz::AppendFormatted(text, format, args);
    // One call per line, so a debugger receives each line as one string.
    OutputDebugStringW(text.c_str());
}

void NKDbgPrintfW(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    DeviceDebugPrint(format, args);
    va_end(args);
}
