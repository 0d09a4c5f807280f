#include <cstdarg>

#include "platform/common/wide_format.h"
#include "platform/win32/device_calls.h"

int DeviceWsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    std::wstring text;
    QOZ_FORMAT_ARGUMENTS(text, format);
    return qoz::CopyIntoWsprintfBuffer(buffer, text);
}
