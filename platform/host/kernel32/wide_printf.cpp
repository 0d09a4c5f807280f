#include <cstdarg>

#include "platform/common/wide_format.h"
#include "platform/platform.h"

// wsprintfW (kernel32)
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    std::u16string text;
    QOZ_FORMAT_ARGUMENTS(text, format);
    return qoz::CopyIntoWsprintfBuffer(buffer, text);
}
