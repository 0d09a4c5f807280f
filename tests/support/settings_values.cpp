#include "tests/support/settings_values.h"

#include <cstring>
#include <regex>
#include <sstream>

LONG CreateSettingsKey(HKEY* key, DWORD* disposition) {
    return RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, 0, nullptr, key,
                           disposition);
}

LONG SetTextValue(HKEY key, const char16_t* name, std::u16string_view text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                          static_cast<DWORD>(text.size() * 2));
}

StoredValue QueryQozSerialValue(const char16_t* name) {
    StoredValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return value;
    BYTE data[4096];
    DWORD size = sizeof data;
    if (RegQueryValueExW(key, name, nullptr, &value.type, data, &size) == ERROR_SUCCESS) {
        value.present = true;
        value.size = size;
        value.text.resize(size / 2);
        std::memcpy(value.text.data(), data, value.text.size() * 2);
    }
    RegCloseKey(key);
    return value;
}

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

}  // namespace

std::string SettingsText(const ScratchEnvironment& scratch, const std::string& name) {
    std::istringstream text(scratch.registryText());
    std::regex value("\"([^\"]*)\"=\"([^\"]*)\"\r?");
    std::smatch match;
    for (std::string line; std::getline(text, line);)
        if (std::regex_match(line, match, value) && Lower(match[1]) == Lower(name)) return match[2];
    return "(missing)";
}

std::vector<std::string> FourSettings(const ScratchEnvironment& scratch) {
    return {SettingsText(scratch, "ScaleX"), SettingsText(scratch, "ScaleY"),
            SettingsText(scratch, "OffsetX"), SettingsText(scratch, "OffsetY")};
}
