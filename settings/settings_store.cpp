#include "settings/settings_store.h"

static const WCHAR settingsSubKey[] = TEXT("Software\\QozSerial");

static HKEY settingsKey;

static DWORD TextSize(LPCWSTR text) { return (DWORD)(2 * wcslen(text)); }

int InitQOZCalRegistry(void) {
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsSubKey, 0, KEY_ALL_ACCESS, &settingsKey) ==
        ERROR_SUCCESS) {
        RegCloseKey(settingsKey);
        return 0;
    }

    DWORD disposition = 0;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, settingsSubKey, 0, NULL, 0, 0, NULL,
                                  &settingsKey, &disposition);
    if (result != ERROR_SUCCESS || settingsKey == NULL) {
        NKDbgPrintfW(TEXT("InitQOZCalRegistry : Fail RegCreateKeyEx\r\n"));
        return 0;
    }

    AddQOZRegistryItem(TEXT("ScaleX"), TEXT("1"));
    AddQOZRegistryItem(TEXT("ScaleY"), TEXT("1"));
    AddQOZRegistryItem(TEXT("OffsetX"), TEXT("0"));
    AddQOZRegistryItem(TEXT("OffsetY"), TEXT("0"));
    RegCloseKey(settingsKey);
    return 0;
}

int AddQOZRegistryItem(LPCWSTR name, LPCWSTR text) {
    DWORD size = TextSize(text);
    if (RegSetValueExW(settingsKey, name, 0, REG_SZ, (const BYTE*)text, size) == ERROR_SUCCESS) {
        NKDbgPrintfW(TEXT("AddQOZRegistryItem : Successed - [%d] [%s] - [%s]\r\n"), size, name,
                     text);
    } else {
        NKDbgPrintfW(TEXT("AddQOZRegistryItem : Failed - [%s] - [%s]\r\n"), name, text);
    }
    return 0;
}

int SetQOZRegistryValue(LPCWSTR name, LPCWSTR text) {
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsSubKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text, TextSize(text));
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 1 : 0;
}

int GetQOZRegistryValue(LPCWSTR name, LPWSTR buffer) {
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsSubKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;

    DWORD type = 0;
    DWORD size = QOZ_REGISTRY_VALUE_BYTES;
    LONG result = RegQueryValueExW(key, name, NULL, &type, (LPBYTE)buffer, &size);
    if (result == ERROR_SUCCESS && type == REG_SZ) {
        buffer[size / 2] = 0;
        RegCloseKey(key);
        return 1;
    }

    NKDbgPrintfW(
        TEXT("GetQOZRegistryValue : ERROR - dwSize = [%d] dwType = [%d] Result = [%d]\r\n"), size,
        type, result);
    RegCloseKey(key);
    return 0;
}
