// The settings store in memory: keys and values as parsed from, and written
// to, the registry text file (".reg" syntax as regedit imports it). A
// registry read from a file remembers that file, so that writing it back
// keeps its encoding, header, line ends, comments and layout and changes
// only what changed. Pure functions; the file itself is handled in
// registry_file.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/host/advapi32/registry_encoding.h"

namespace qoz::host {

inline constexpr std::u16string_view kRegistryHeader = u"Windows Registry Editor Version 5.00";
inline constexpr std::u16string_view kRegedit4Header = u"REGEDIT4";
inline constexpr size_t kNoPlace = static_cast<size_t>(-1);
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxValueNameLength = 16383;

struct RegistryValue {
    std::u16string name;  // spelled as first written; empty for the key's default value
    uint32_t type = 0;
    std::vector<uint8_t> data;
    // The bytes of the source line (with its continuation lines, without the
    // last line end) that set the value; begin is kNoPlace for a new value.
    size_t lineBegin = kNoPlace;
    size_t lineEnd = kNoPlace;
    bool changed = false;  // type or data set anew since it was read
};

struct RegistryKey {
    std::u16string name;  // this key's own name (one path element), spelled as first written
    size_t parent = 0;
    size_t placeInParent = 0;      // index in the parent's children
    std::vector<size_t> children;  // in no particular order
    // In the order first written; a removal moves the last one into its place.
    std::vector<RegistryValue> values;
    // Where new values go in the source: behind the last line of the key's
    // last section; kNoPlace when no section of the source opens this key.
    size_t insertAt = kNoPlace;
    bool removed = false;  // the key, and so everything below it, was removed
};

// The file a registry was read from. Empty bytes: a new file, written in
// UTF-8 with the version 5.00 header and LF line ends.
struct RegistrySource {
    std::string bytes;
    TextEncoding encoding = TextEncoding::Utf8;
    bool regedit4 = false;  // the REGEDIT4 header: ANSI text, string data in hex too
    bool crlf = false;      // line end of new lines, as the header line ends
    // What the last line lacks of a line end: nothing after an LF, an LF
    // after a lone CR, else a whole line end.
    std::u16string lastLineEndMissing;
    bool endsWithBlankLine = false;
};

// A name under a key: (key index, case-folded name).
using NameSlot = std::pair<size_t, std::u16string>;

struct NameSlotHash {
    size_t operator()(const NameSlot& slot) const;
};

// keys[0] stands above the roots (HKEY_CURRENT_USER, ...): it has no name and
// no values and is never written. A removed key stays in keys, unreachable.
struct Registry {
    std::vector<RegistryKey> keys = std::vector<RegistryKey>(1);
    std::unordered_map<NameSlot, size_t, NameSlotHash> childIndex;  // -> index in keys
    std::unordered_map<NameSlot, size_t, NameSlotHash> valueIndex;  // -> index in that key's values
    RegistrySource source;
    size_t keysRead = 1;  // keys below this index came from the source
};

// No control characters and no unpaired surrogates: text the file can hold
// between quotes and give back unchanged.
bool IsPrintableUtf16(std::u16string_view text);

// A key name is 1 to 255 characters of well-formed UTF-16 without a
// backslash or control character; a value name is up to 16383 such
// characters (backslashes allowed; empty names the default value).
bool IsValidKeyName(std::u16string_view name);
bool IsValidValueName(std::u16string_view name);

// Splits "HKEY_CURRENT_USER\Software\QozSerial" into its key names; empty
// when a name is invalid, the path is deeper than 512 levels or it starts
// with "-" (which a section line would read as a removal).
std::optional<std::vector<std::u16string>> SplitKeyPath(std::u16string_view path);
// Why SplitKeyPath refuses the path, in a few words.
std::string WhyNotKeyPath(std::u16string_view path);

std::optional<size_t> FindKey(const Registry& registry, const std::vector<std::u16string>& path);
// Creates the key and its missing ancestors. *created tells whether the key
// itself is new. The names must be valid.
size_t AddKey(Registry& registry, const std::vector<std::u16string>& path, bool* created);

// Removes the key and everything below it, if it exists.
void RemoveKey(Registry& registry, const std::vector<std::u16string>& path);

const RegistryValue* FindValue(const Registry& registry, size_t key, std::u16string_view name);
// Replaces the type and data of an existing value (keeping its spelling and
// place) or appends a new one. The name must be valid.
RegistryValue& SetValue(Registry& registry, size_t key, std::u16string_view name, uint32_t type,
                        std::vector<uint8_t> data);
void RemoveValue(Registry& registry, size_t key, std::u16string_view name);

struct ParseError {
    size_t line = 0;  // 1-based
    std::string reason;
};

struct ParseResult {
    Registry registry;
    std::optional<ParseError> error;  // when set, registry is incomplete
};

// Reads the file's bytes as regedit imports them, line by line: "[-KEY]"
// removes the key, "name"=- the value, and value lines after a key's removal
// belong to no key. A zero-byte text is an empty registry.
// (registry_parse.cpp)
ParseResult ParseRegistry(std::string_view text);

// The registry as file bytes. From a source: the source's bytes with each
// changed value's line rewritten in place, new values behind the last line
// of their key's last section, and a section for each new key (and for each
// key that gets values but has no section) at the end, parents first and
// siblings sorted by folded name. Without one, a new file: the header, a
// blank line, then every key so. Never writes a removal line of its own.
// (registry_write.cpp)
std::string FormatRegistry(const Registry& registry);

// The same, or nothing when the text would be longer than limit bytes. Each
// new key's section names its whole path, so a deep key costs its depth times
// over; this stops early rather than build text that is too long to keep.
std::optional<std::string> FormatRegistryWithin(const Registry& registry, size_t limit);
// Empty when text reads back as the same keys and values as registry;
// otherwise what differs. When it is the same and readBack is given, it
// receives the text's model. (registry_compare.cpp)
std::optional<std::string> ReadBackDifference(const Registry& registry, std::string_view text,
                                              Registry* readBack = nullptr);

}  // namespace qoz::host
