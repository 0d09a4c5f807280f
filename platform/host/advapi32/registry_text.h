// The settings store in memory: keys and values as parsed from, and written
// to, the registry text file (".reg" syntax, UTF-8). Pure functions; the file
// itself is handled in registry_file.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qoz::host {

inline constexpr std::u16string_view kRegistryHeader = u"Windows Registry Editor Version 5.00";
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxValueNameLength = 16383;

struct RegistryValue {
    std::u16string name;  // spelled as first written; empty for the key's default value
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct RegistryKey {
    std::u16string name;  // this key's own name (one path element), spelled as first written
    size_t parent = 0;
    std::vector<size_t> children;
    std::vector<RegistryValue> values;  // in the order first written
};

// A name under a key: (key index, case-folded name).
using NameSlot = std::pair<size_t, std::u16string>;

struct NameSlotHash {
    size_t operator()(const NameSlot& slot) const;
};

// keys[0] stands above the roots (HKEY_CURRENT_USER, ...): it has no name and
// no values and is never written.
struct Registry {
    std::vector<RegistryKey> keys = std::vector<RegistryKey>(1);
    std::unordered_map<NameSlot, size_t, NameSlotHash> childIndex;  // -> index in keys
    std::unordered_map<NameSlot, size_t, NameSlotHash> valueIndex;  // -> index in that key's values
};

// A key name is 1 to 255 characters of well-formed UTF-16 without a
// backslash or control character; a value name is up to 16383 such
// characters (backslashes allowed; empty names the default value).
bool IsValidKeyName(std::u16string_view name);
bool IsValidValueName(std::u16string_view name);

// Splits "HKEY_CURRENT_USER\Software\QozSerial" into its key names; empty
// when a name is invalid or the path is deeper than 512 levels.
std::optional<std::vector<std::u16string>> SplitKeyPath(std::u16string_view path);

std::optional<size_t> FindKey(const Registry& registry, const std::vector<std::u16string>& path);
// Creates the key and its missing ancestors. *created tells whether the key
// itself is new. The names must be valid.
size_t AddKey(Registry& registry, const std::vector<std::u16string>& path, bool* created);

const RegistryValue* FindValue(const Registry& registry, size_t key, std::u16string_view name);
// Replaces the type and data of an existing value (keeping its spelling and
// place) or appends a new one. The name must be valid.
void SetValue(Registry& registry, size_t key, std::u16string_view name, uint32_t type,
              std::vector<uint8_t> data);

struct ParseError {
    size_t line = 0;  // 1-based
    std::string reason;
};

struct ParseResult {
    Registry registry;
    std::optional<ParseError> error;  // when set, registry is incomplete
};

// A zero-byte text is an empty registry. (registry_parse.cpp)
ParseResult ParseRegistry(std::string_view text);

// The header, a blank line, then every key (parents first, siblings sorted by
// folded name) with its values and a blank line.
std::string FormatRegistry(const Registry& registry);

// The same, or nothing when the text would be longer than limit bytes. Each
// key's section names its whole path, so a deep key costs its depth times
// over; this stops early rather than build text that is too long to keep.
std::optional<std::string> FormatRegistryWithin(const Registry& registry, size_t limit);

}  // namespace qoz::host
