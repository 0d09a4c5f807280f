#include <cstdarg>
#include <string>

#include "platform/common/wide_format.h"
#include "platform/win32/device_calls.h"

void NKDbgPrintfW(LPCWSTR format, ...) {
    std::wstring text;
    va_list args;
    va_start(args, format);
    qoz::AppendFormatted(text, format, args);
    va_end(args);
    // One call per line, so a debugger receives each line as one string.
    OutputDebugStringW(text.c_str());
}
