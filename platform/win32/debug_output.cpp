#include <cstdarg>
#include <string>

#include "platform/common/wide_format.h"
#include "platform/win32/device_calls.h"

void NKDbgPrintfW(LPCWSTR format, ...) {
    std::wstring text;
    QOZ_FORMAT_ARGUMENTS(text, format);
    // One call per line, so a debugger receives each line as one string.
    OutputDebugStringW(text.c_str());
}
