#include <cstdarg>

#include "platform/common/wide_format.h"
#include "platform/platform.h"

// wsprintfW (kernel32)
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    int count = qoz::FormatIntoWsprintfBuffer(buffer, format, args);
    va_end(args);
    return count;
}
