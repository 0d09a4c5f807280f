#include <cstring>
#include <vector>

#include "platform/win32/device_calls.h"

LONG DeviceRegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                           REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                           LPDWORD disposition) {
    // The device ignores the access argument and hands out a key that can be
    // read and written; the desktop would honour an access of 0 literally.
    if (access == 0) access = KEY_ALL_ACCESS;
    return RegCreateKeyExW(key, subKey, reserved, keyClass, options, access, security, result,
                           disposition);
}

// Far beyond any text value the program writes; larger data goes over as it is.
static const DWORD maxCopiedText = 1 << 20;

LONG DeviceRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                          DWORD size) {
    // The device stores exactly the bytes it is given. The desktop appends a
    // NUL to text whose counted characters are followed by one in memory, so
    // the characters go over in a copy whose next unit is not a NUL.
    bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    if (!text || data == NULL || size == 0 || size > maxCopiedText)
        return RegSetValueExW(key, name, reserved, type, data, size);
    std::vector<BYTE> copy(size + sizeof(WCHAR), 0xFF);
    std::memcpy(copy.data(), data, size);
    return RegSetValueExW(key, name, reserved, type, copy.data(), size);
}
