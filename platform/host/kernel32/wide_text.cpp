#include "platform/platform.h"

// wcslen (kernel32)
size_t wcslen(LPCWSTR text) {
    size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}
