// Checking that written text reads back as the registry it was written
// from: the last guard before a file is replaced.
#include <string>
#include <utility>
#include <vector>

#include "platform/common/utf16.h"
#include "platform/host/advapi32/registry_text.h"
#include "platform/host/posix/case_fold.h"

namespace qoz::host {

namespace {

std::string KeyPath(const Registry& registry, size_t key) {
    std::u16string path;
    for (; key != 0; key = registry.keys[key].parent) {
        path.insert(0, registry.keys[key].name);
        if (registry.keys[key].parent != 0) path.insert(0, u"\\");
    }
    return Utf16ToUtf8(path);
}

// What differs between key a of one registry and key b of the other, not
// looking below them; empty when nothing does.
std::string KeyDifference(const Registry& one, size_t a, const Registry& other, size_t b) {
    const RegistryKey& mine = one.keys[a];
    const RegistryKey& theirs = other.keys[b];
    if (mine.name != theirs.name) return "the key " + KeyPath(one, a);
    if (mine.children.size() != theirs.children.size()) return "the subkeys of " + KeyPath(one, a);
    if (mine.values.size() != theirs.values.size()) return "the values of " + KeyPath(one, a);
    for (const RegistryValue& value : mine.values) {
        const RegistryValue* read = FindValue(other, b, value.name);
        if (!read || read->name != value.name || read->type != value.type ||
            read->data != value.data) {
            return "the value " +
                   (value.name.empty() ? std::string("@") : '"' + Utf16ToUtf8(value.name) + '"') +
                   " of " + KeyPath(one, a);
        }
    }
    return {};
}

}  // namespace

std::optional<std::string> ReadBackDifference(const Registry& registry, std::string_view text,
                                              Registry* readBack) {
    ParseResult back = ParseRegistry(text);
    if (back.error) {
        return "the new contents would not read back (line " + std::to_string(back.error->line) +
               ": " + back.error->reason + ")";
    }
    std::vector<std::pair<size_t, size_t>> pending{{0, 0}};
    while (!pending.empty()) {
        auto [mine, theirs] = pending.back();
        pending.pop_back();
        std::string difference = KeyDifference(registry, mine, back.registry, theirs);
        for (size_t child : registry.keys[mine].children) {
            if (!difference.empty()) break;
            auto found =
                back.registry.childIndex.find({theirs, FoldCase(registry.keys[child].name)});
            if (found == back.registry.childIndex.end()) {
                difference = "the key " + KeyPath(registry, child);
            } else {
                pending.emplace_back(child, found->second);
            }
        }
        if (!difference.empty()) {
            return difference + " would not read back the same" +
                   (registry.source.regedit4 ? " (a REGEDIT4 file holds Windows-1252 text only)"
                                             : "");
        }
    }
    if (readBack) *readBack = std::move(back.registry);
    return std::nullopt;
}

}  // namespace qoz::host
