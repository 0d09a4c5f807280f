#include "platform/host/advapi32/registry_text.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "platform/common/utf16.h"
#include "platform/host/kernel32/case_fold.h"

namespace qoz::host {

namespace {

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F; }

// No control characters and no unpaired surrogates: text the file can hold
// between quotes and give back unchanged.
bool IsPrintableUtf16(std::u16string_view text) {
    for (size_t i = 0; i < text.size();) {
        Utf16CodePoint next = DecodeUtf16(text, i);
        if (next.unpaired || IsControl(next.value)) return false;
        i += next.units;
    }
    return true;
}

}  // namespace

size_t NameSlotHash::operator()(const NameSlot& slot) const {
    return std::hash<std::u16string>{}(slot.second) ^ (slot.first * 0x9E3779B97F4A7C15ull);
}

bool IsValidKeyName(std::u16string_view name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength &&
           name.find(u'\\') == std::u16string_view::npos && IsPrintableUtf16(name);
}

bool IsValidValueName(std::u16string_view name) {
    return name.size() <= kMaxValueNameLength && IsPrintableUtf16(name);
}

std::optional<std::vector<std::u16string>> SplitKeyPath(std::u16string_view path) {
    std::vector<std::u16string> names;
    size_t start = 0;
    while (true) {
        size_t end = path.find(u'\\', start);
        std::u16string_view name = path.substr(start, end == path.npos ? path.npos : end - start);
        if (!IsValidKeyName(name) || names.size() == kMaxKeyDepth) return std::nullopt;
        names.emplace_back(name);
        if (end == path.npos) return names;
        start = end + 1;
    }
}

std::optional<size_t> FindKey(const Registry& registry, const std::vector<std::u16string>& path) {
    size_t key = 0;
    for (const std::u16string& name : path) {
        auto found = registry.childIndex.find({key, FoldCase(name)});
        if (found == registry.childIndex.end()) return std::nullopt;
        key = found->second;
    }
    return key;
}

size_t AddKey(Registry& registry, const std::vector<std::u16string>& path, bool* created) {
    size_t key = 0;
    bool isNew = false;
    for (const std::u16string& name : path) {
        auto [slot, inserted] = registry.childIndex.try_emplace({key, FoldCase(name)}, 0);
        isNew = inserted;
        if (inserted) {
            slot->second = registry.keys.size();
            registry.keys.push_back(RegistryKey{name, key, {}, {}});
            registry.keys[key].children.push_back(slot->second);
        }
        key = slot->second;
    }
    if (created) *created = isNew;
    return key;
}

const RegistryValue* FindValue(const Registry& registry, size_t key, std::u16string_view name) {
    auto found = registry.valueIndex.find({key, FoldCase(name)});
    if (found == registry.valueIndex.end()) return nullptr;
    return &registry.keys[key].values[found->second];
}

void SetValue(Registry& registry, size_t key, std::u16string_view name, uint32_t type,
              std::vector<uint8_t> data) {
    std::vector<RegistryValue>& values = registry.keys[key].values;
    auto [slot, inserted] = registry.valueIndex.try_emplace({key, FoldCase(name)}, values.size());
    if (inserted) {
        values.push_back(RegistryValue{std::u16string(name), type, std::move(data)});
    } else {
        values[slot->second].type = type;
        values[slot->second].data = std::move(data);
    }
}

// ---- Writing -------------------------------------------------------------

namespace {

// Names and texts are well-formed, so the UTF-8 is exact; a backslash or
// quote byte never occurs inside a multi-byte sequence.
void AppendQuoted(std::string& out, std::u16string_view text) {
    out += '"';
    for (char c : Utf16ToUtf8(text)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

std::u16string DecodeUtf16le(const std::vector<uint8_t>& data) {
    std::u16string text(data.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return text;
}

void AppendData(std::string& out, const RegistryValue& value) {
    char number[16];
    if (value.type == 1 && value.data.size() % 2 == 0) {
        std::u16string text = DecodeUtf16le(value.data);
        if (IsPrintableUtf16(text)) {
            AppendQuoted(out, text);
            return;
        }
    }
    if (value.type == 4 && value.data.size() == 4) {
        uint32_t dword = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                         (uint32_t(value.data[3]) << 24);
        std::snprintf(number, sizeof number, "dword:%08x", dword);
        out += number;
        return;
    }
    std::snprintf(number, sizeof number, "hex(%x):", value.type);
    out += number;
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < value.data.size(); ++i) {
        if (i > 0) out += ',';
        out += kDigits[value.data[i] >> 4];
        out += kDigits[value.data[i] & 0xF];
    }
}

void AppendKey(std::string& out, const Registry& registry, size_t key, const std::string& path) {
    out += '[';
    out += path;
    out += "]\n";
    for (const RegistryValue& value : registry.keys[key].values) {
        if (value.name.empty()) {
            out += '@';
        } else {
            AppendQuoted(out, value.name);
        }
        out += '=';
        AppendData(out, value);
        out += '\n';
    }
    out += '\n';
}

std::vector<size_t> SortedChildren(const Registry& registry, size_t key) {
    std::vector<std::pair<std::u16string, size_t>> folded;
    for (size_t child : registry.keys[key].children) {
        folded.emplace_back(FoldCase(registry.keys[child].name), child);
    }
    std::sort(folded.begin(), folded.end());
    std::vector<size_t> sorted;
    for (const auto& entry : folded) sorted.push_back(entry.second);
    return sorted;
}

// False as soon as the text grows beyond limit bytes.
bool AppendTree(std::string& out, const Registry& registry, size_t key, const std::string& prefix,
                size_t limit) {
    for (size_t child : SortedChildren(registry, key)) {
        std::string path = prefix + Utf16ToUtf8(registry.keys[child].name);
        AppendKey(out, registry, child, path);
        if (out.size() > limit || !AppendTree(out, registry, child, path + '\\', limit))
            return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> FormatRegistryWithin(const Registry& registry, size_t limit) {
    std::string out = Utf16ToUtf8(kRegistryHeader);
    out += "\n\n";
    if (!AppendTree(out, registry, 0, "", limit)) return std::nullopt;
    return out;
}

std::string FormatRegistry(const Registry& registry) {
    return *FormatRegistryWithin(registry, std::string().max_size());
}

}  // namespace qoz::host
