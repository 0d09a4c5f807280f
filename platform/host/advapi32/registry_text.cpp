#include "platform/host/advapi32/registry_text.h"

#include <functional>

#include "platform/common/utf16.h"
#include "platform/host/posix/case_fold.h"

namespace qoz::host {

namespace {

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F; }

}  // namespace

bool IsPrintableUtf16(std::u16string_view text) {
    for (size_t i = 0; i < text.size();) {
        Utf16CodePoint next = DecodeUtf16(text, i);
        if (next.unpaired || IsControl(next.value)) return false;
        i += next.units;
    }
    return true;
}

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
        if (names.empty() && name.front() == u'-') return std::nullopt;  // reads as a removal
        names.emplace_back(name);
        if (end == path.npos) return names;
        start = end + 1;
    }
}

std::string WhyNotKeyPath(std::u16string_view path) {
    if (path.starts_with(u'-')) return "a root key name cannot start with -";
    size_t depth = 0;
    size_t start = 0;
    while (true) {
        size_t end = path.find(u'\\', start);
        std::u16string_view name = path.substr(start, end == path.npos ? path.npos : end - start);
        if (name.empty()) return "empty key name";
        if (name.size() > kMaxKeyNameLength) return "key name longer than 255 characters";
        for (char16_t c : name) {
            if (IsControl(c)) return "control character in key name";
        }
        if (++depth > kMaxKeyDepth) return "key path deeper than 512 levels";
        if (end == path.npos) break;
        start = end + 1;
    }
    return "unpaired surrogate in key name";
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
            RegistryKey child;
            child.name = name;
            child.parent = key;
            child.placeInParent = registry.keys[key].children.size();
            registry.keys.push_back(std::move(child));
            registry.keys[key].children.push_back(slot->second);
        }
        key = slot->second;
    }
    if (created) *created = isNew;
    return key;
}

void RemoveKey(Registry& registry, const std::vector<std::u16string>& path) {
    std::optional<size_t> key = FindKey(registry, path);
    if (!key || *key == 0) return;
    RegistryKey& removed = registry.keys[*key];
    std::vector<size_t>& siblings = registry.keys[removed.parent].children;
    size_t moved = siblings.back();
    siblings[removed.placeInParent] = moved;
    registry.keys[moved].placeInParent = removed.placeInParent;
    siblings.pop_back();
    registry.childIndex.erase({removed.parent, FoldCase(removed.name)});
    removed.removed = true;
}

const RegistryValue* FindValue(const Registry& registry, size_t key, std::u16string_view name) {
    auto found = registry.valueIndex.find({key, FoldCase(name)});
    if (found == registry.valueIndex.end()) return nullptr;
    return &registry.keys[key].values[found->second];
}

RegistryValue& SetValue(Registry& registry, size_t key, std::u16string_view name, uint32_t type,
                        std::vector<uint8_t> data) {
    std::vector<RegistryValue>& values = registry.keys[key].values;
    auto [slot, inserted] = registry.valueIndex.try_emplace({key, FoldCase(name)}, values.size());
    if (inserted) {
        RegistryValue& value = values.emplace_back();
        value.name = name;
        value.type = type;
        value.data = std::move(data);
        return value;
    }
    RegistryValue& value = values[slot->second];
    if (value.type != type || value.data != data) {
        value.type = type;
        value.data = std::move(data);
        value.changed = true;
    }
    return value;
}

void RemoveValue(Registry& registry, size_t key, std::u16string_view name) {
    auto found = registry.valueIndex.find({key, FoldCase(name)});
    if (found == registry.valueIndex.end()) return;
    std::vector<RegistryValue>& values = registry.keys[key].values;
    size_t place = found->second;
    registry.valueIndex.erase(found);
    if (place + 1 != values.size()) {
        values[place] = std::move(values.back());
        registry.valueIndex[{key, FoldCase(values[place].name)}] = place;
    }
    values.pop_back();
}

}  // namespace qoz::host
