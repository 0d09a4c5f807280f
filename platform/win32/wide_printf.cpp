#include <cstdarg>

#include "platform/common/wide_format.h"
#include "platform/win32/device_calls.h"

int DeviceWsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    int count = qoz::FormatIntoWsprintfBuffer(buffer, format, args);
    va_end(args);
    return count;
}
