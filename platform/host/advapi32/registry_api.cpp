// The registry calls of platform.h over the settings file. Only
// HKEY_CURRENT_USER exists; every other HKEY is a handle made here.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/advapi32/registry_file.h"
#include "platform/host/advapi32/registry_text.h"
#include "platform/host/kernel32/handle_table.h"
#include "platform/platform.h"

using qoz::host::Registry;
using qoz::host::RegistryValue;

namespace {

constexpr std::u16string_view kRootName = u"HKEY_CURRENT_USER";

// An open key's path from the root, e.g. HKEY_CURRENT_USER\Software\QozSerial.
using OpenKeyTable =
    qoz::host::LockedHandleTable<HKEY, std::u16string, qoz::host::SlotReuse::AfterClose>;

OpenKeyTable& OpenKeys() {
    static OpenKeyTable table(qoz::host::HandleKind::RegistryKey);
    return table;
}

std::optional<std::u16string> HandlePath(HKEY key) {
    if (key == HKEY_CURRENT_USER) return std::u16string(kRootName);
    return OpenKeys().Find(key);
}

// Null when too many keys are open.
HKEY NewHandle(const std::vector<std::u16string>& names) {
    std::u16string path;
    for (const std::u16string& name : names) {
        if (!path.empty()) path += u'\\';
        path += name;
    }
    return OpenKeys().Add(std::move(path));
}

// The key names of key\subKey; handleDepth receives how many of them name
// the handle's own key.
LONG ResolvePath(HKEY key, LPCWSTR subKey, std::vector<std::u16string>& names,
                 size_t* handleDepth) {
    std::optional<std::u16string> path = HandlePath(key);
    if (!path) return ERROR_INVALID_HANDLE;
    if (handleDepth) *handleDepth = qoz::host::SplitKeyPath(*path)->size();
    if (subKey && *subKey) {
        *path += u'\\';
        *path += subKey;
    }
    std::optional<std::vector<std::u16string>> split = qoz::host::SplitKeyPath(*path);
    if (!split) return ERROR_INVALID_PARAMETER;
    names = std::move(*split);
    return ERROR_SUCCESS;
}

// The root always exists, even before anything was written.
bool KeyExists(const Registry& registry, const std::vector<std::u16string>& names) {
    return names.size() == 1 || qoz::host::FindKey(registry, names).has_value();
}

}  // namespace

// RegOpenKeyExW (advapi32)
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM /*access*/, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::u16string> names;
    if (LONG status = ResolvePath(key, subKey, names, nullptr)) return status;
    if (names.size() > 1) {
        std::shared_ptr<const Registry> registry;
        if (LONG status = qoz::host::ReadRegistryFile(registry)) return status;
        if (!qoz::host::FindKey(*registry, names)) return ERROR_FILE_NOT_FOUND;
    }
    *result = NewHandle(names);
    return *result ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

// RegCreateKeyExW (advapi32)
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR /*keyClass*/,
                     DWORD /*options*/, REGSAM /*access*/, LPSECURITY_ATTRIBUTES /*security*/,
                     PHKEY result, LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::u16string> names;
    size_t handleDepth = 0;
    if (LONG status = ResolvePath(key, subKey, names, &handleDepth)) return status;
    if (reserved != 0 || !subKey) return ERROR_INVALID_PARAMETER;

    bool created = false;
    std::shared_ptr<const Registry> current = std::make_shared<const Registry>();
    if (names.size() > 1) {
        if (LONG status = qoz::host::ReadRegistryFile(current)) return status;
    }
    if (!KeyExists(*current, names)) {
        std::vector<std::u16string> handleNames(names.begin(), names.begin() + handleDepth);
        LONG status = qoz::host::ChangeRegistryFile([&](Registry& registry, bool& changed) -> LONG {
            if (!KeyExists(registry, handleNames)) return ERROR_KEY_DELETED;
            qoz::host::AddKey(registry, names, &created);
            changed = created;
            return ERROR_SUCCESS;
        });
        if (status) return status;
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(names);
    return *result ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

// RegSetValueExW (advapi32)
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) {
    std::vector<std::u16string> names;
    if (LONG status = ResolvePath(key, nullptr, names, nullptr)) return status;
    std::u16string_view name = valueName ? std::u16string_view(valueName) : std::u16string_view();
    if (reserved != 0 || (!data && size != 0) || !qoz::host::IsValidValueName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<uint8_t> bytes(data, data + size);
    return qoz::host::ChangeRegistryFile([&](Registry& registry, bool& changed) -> LONG {
        if (!KeyExists(registry, names)) return ERROR_KEY_DELETED;
        size_t index = qoz::host::AddKey(registry, names, nullptr);  // gives the root a section
        const RegistryValue* old = qoz::host::FindValue(registry, index, name);
        changed = !old || old->type != type || old->data != bytes;
        if (changed) qoz::host::SetValue(registry, index, name, type, bytes);
        return ERROR_SUCCESS;
    });
}

// RegQueryValueExW (advapi32)
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) {
    std::vector<std::u16string> names;
    if (LONG status = ResolvePath(key, nullptr, names, nullptr)) return status;
    if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<const Registry> registry;
    if (LONG status = qoz::host::ReadRegistryFile(registry)) return status;
    if (!KeyExists(*registry, names)) return ERROR_KEY_DELETED;
    std::optional<size_t> index = qoz::host::FindKey(*registry, names);
    std::u16string_view name = valueName ? std::u16string_view(valueName) : std::u16string_view();
    const RegistryValue* value = index ? qoz::host::FindValue(*registry, *index, name) : nullptr;
    if (!value) return ERROR_FILE_NOT_FOUND;

    DWORD needed = static_cast<DWORD>(value->data.size());
    if (type) *type = value->type;
    if (data) {
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        if (needed > 0) std::memcpy(data, value->data.data(), needed);
    }
    if (size) *size = needed;
    return ERROR_SUCCESS;
}

// RegCloseKey (advapi32)
LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    return OpenKeys().Close(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
