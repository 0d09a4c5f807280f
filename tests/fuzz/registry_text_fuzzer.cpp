// Feeds arbitrary bytes to the settings-file parser. A rejected file must
// name a line of the text; an accepted one must be consistent (every key and
// value found again by its own name) and survive a round trip: written back
// unchanged it is the same bytes, parsed again it gives the same keys and
// values; and changed as a program would change it (a value set anew, one
// added, a key added, in some of its keys), the text written must read back
// as the changed registry.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/common/utf16.h"
#include "platform/host/advapi32/registry_text.h"
#include "platform/host/posix/case_fold.h"

namespace {

using namespace qoz::host;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "settings file property broken: %s\n", what);
    std::abort();
}

void Require(bool holds, const char* what) {
    if (!holds) Fail(what);
}

size_t CountLines(std::string_view text) {
    size_t lines = 1;
    for (char c : text) lines += c == '\n' ? 1 : 0;
    return lines;
}

void CheckIndexes(const Registry& registry) {
    for (size_t key = 0; key < registry.keys.size(); ++key) {
        const RegistryKey& node = registry.keys[key];
        for (size_t child : node.children) {
            Require(child < registry.keys.size() && registry.keys[child].parent == key,
                    "a child that does not name its parent");
            Require(IsValidKeyName(registry.keys[child].name), "an invalid key name");
            auto found = registry.childIndex.find({key, FoldCase(registry.keys[child].name)});
            Require(found != registry.childIndex.end() && found->second == child,
                    "a key not found by its own name");
        }
        for (const RegistryValue& value : node.values) {
            Require(IsValidValueName(value.name), "an invalid value name");
            Require(FindValue(registry, key, value.name) == &value,
                    "a value not found by its own name");
        }
    }
    Require(registry.keys[0].values.empty(), "values above the root keys");
}

// The key `a` of `left` and the key `b` of `right` hold the same values, in
// the same order, and the same subkeys, spelled the same.
void CompareKeys(const Registry& left, size_t a, const Registry& right, size_t b) {
    const RegistryKey& one = left.keys[a];
    const RegistryKey& other = right.keys[b];
    Require(one.name == other.name, "a key spelled differently after the round trip");
    Require(one.values.size() == other.values.size(), "values lost or gained in the round trip");
    for (size_t i = 0; i < one.values.size(); ++i) {
        const RegistryValue& x = one.values[i];
        const RegistryValue& y = other.values[i];
        Require(x.name == y.name && x.type == y.type && x.data == y.data,
                "a value changed in the round trip");
    }
    Require(one.children.size() == other.children.size(), "keys lost or gained in the round trip");
    for (size_t child : one.children) {
        auto found = right.childIndex.find({b, FoldCase(left.keys[child].name)});
        Require(found != right.childIndex.end(), "a key lost in the round trip");
        CompareKeys(left, child, right, found->second);
    }
}

void CheckChangesReadBack(Registry registry) {
    size_t edited = 0;
    for (size_t key = 1; key < registry.keys.size() && edited < 64; ++key) {
        if (registry.keys[key].removed) continue;
        ++edited;
        if (!registry.keys[key].values.empty()) {
            std::u16string name = registry.keys[key].values.front().name;
            SetValue(registry, key, name, 1, qoz::Utf16leBytes(u"1.12940"));
        }
        SetValue(registry, key, u"QozAdded", 4, {0x2a, 0, 0, 0});
        std::vector<std::u16string> path;
        for (size_t k = key; k != 0; k = registry.keys[k].parent)
            path.insert(path.begin(), registry.keys[k].name);
        if (path.size() < kMaxKeyDepth) {
            path.push_back(u"QozNew");
            SetValue(registry, AddKey(registry, path, nullptr), u"", 1, qoz::Utf16leBytes(u"0"));
        }
    }
    std::string written = FormatRegistry(registry);
    std::optional<std::string> difference = ReadBackDifference(registry, written);
    if (difference) {
        std::fprintf(stderr, "%s\n", difference->c_str());
        Fail("a changed registry does not read back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ParseResult parsed = ParseRegistry(text);
    if (parsed.error) {
        Require(parsed.error->line >= 1 && parsed.error->line <= CountLines(text),
                "an error on no such line");
        Require(!parsed.error->reason.empty(), "an error without a reason");
        return 0;
    }
    CheckIndexes(parsed.registry);

    std::string written = FormatRegistry(parsed.registry);
    Require(written == text || text.empty(), "an unchanged registry was written otherwise");
    ParseResult again = ParseRegistry(written);
    if (again.error) {
        std::fprintf(stderr, "line %zu: %s\n", again.error->line, again.error->reason.c_str());
        Fail("a written file does not parse");
    }
    CheckIndexes(again.registry);
    CompareKeys(parsed.registry, 0, again.registry, 0);
    Require(FormatRegistry(again.registry) == written, "writing the same keys gave other text");
    CheckChangesReadBack(std::move(parsed.registry));
    return 0;
}
