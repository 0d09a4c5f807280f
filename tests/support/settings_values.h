// The settings as tests write and read them: through the platform's registry
// calls, or as the settings file's text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "tests/support/scratch_environment.h"

inline const char16_t* const kSettingsKey = u"Software\\QozSerial";

// The debug lines of a first start, which seeds the four neutral settings.
inline const std::string kSeedLines =
    "AddQOZRegistryItem : Successed - [2] [ScaleX] - [1]\r\n"
    "AddQOZRegistryItem : Successed - [2] [ScaleY] - [1]\r\n"
    "AddQOZRegistryItem : Successed - [2] [OffsetX] - [0]\r\n"
    "AddQOZRegistryItem : Successed - [2] [OffsetY] - [0]\r\n";

// RegCreateKeyExW of HKEY_CURRENT_USER\Software\QozSerial.
LONG CreateSettingsKey(HKEY* key, DWORD* disposition = nullptr);

// A REG_SZ value of exactly these UTF-16 units, without a terminator.
LONG SetTextValue(HKEY key, const char16_t* name, std::u16string_view text);

// A value of HKEY_CURRENT_USER\Software\QozSerial read through the registry
// calls; not present when the key or the value is missing.
struct StoredValue {
    bool present = false;
    DWORD type = 0;
    std::u16string text;  // the data as UTF-16 units
    DWORD size = 0;
};
StoredValue QueryQozSerialValue(const char16_t* name);

// The settings file's value NAME (compared without regard to case), or
// "(missing)".
std::string SettingsText(const ScratchEnvironment& scratch, const std::string& name);

// ScaleX, ScaleY, OffsetX and OffsetY, in that order, as SettingsText gives them.
std::vector<std::string> FourSettings(const ScratchEnvironment& scratch);
