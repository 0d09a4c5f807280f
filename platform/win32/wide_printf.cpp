#include <cstdarg>
#include <string>

#include "device_calls.h"
#include "platform/common/wide_format.h"

namespace {
// As with the system's wsprintfW, the buffer receives at most this many
// characters, the terminating NUL included.
constexpr size_t kBufferCapacity = 1024;
}  // namespace

int DeviceWsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    if (buffer == NULL) return 0;
    std::wstring text;
    va_list args;
    va_start(args, format);
    qoz::AppendFormatted(text, format, args);
    va_end(args);
    size_t count = text.size() < kBufferCapacity ? text.size() : kBufferCapacity - 1;
    text.copy(buffer, count);
    buffer[count] = 0;
    return static_cast<int>(count);
}
