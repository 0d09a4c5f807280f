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
