// Writing the registry as file bytes: the file it was read from, kept byte
// for byte, with the changes laid into it in the file's own encoding and
// line ends; or a new file.
#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/common/utf16.h"
#include "platform/host/advapi32/registry_text.h"
#include "platform/host/posix/case_fold.h"
#include "platform/platform.h"

namespace qoz::host {

namespace {

// Replaces the bytes from begin to end (an insertion where they are equal).
struct Edit {
    size_t begin = 0;
    size_t end = 0;
    std::u16string text;
};

struct NewSection {
    std::vector<std::u16string> foldedPath;  // orders parents first, siblings by folded name
    size_t key = 0;
    std::u16string values;
};

// The text the file starts from, and how it goes on.
struct Layout {
    std::string_view bytes;
    TextEncoding encoding = TextEncoding::Utf8;
    bool regedit4 = false;
    std::u16string newline;
    std::u16string lastLineEndMissing;
    bool endsWithBlankLine = true;
};

Layout LayoutOf(const RegistrySource& source) {
    if (source.bytes.empty()) {
        static const std::string newFile = Utf16ToUtf8(std::u16string(kRegistryHeader) + u"\n\n");
        return Layout{newFile, TextEncoding::Utf8, false, u"\n", u"", true};
    }
    return Layout{source.bytes,
                  source.encoding,
                  source.regedit4,
                  source.crlf ? u"\r\n" : u"\n",
                  source.lastLineEndMissing,
                  source.endsWithBlankLine};
}

void AppendQuoted(std::u16string& out, std::u16string_view text) {
    out += u'"';
    for (char16_t c : text) {
        if (c == u'\\' || c == u'"') out += u'\\';
        out += c;
    }
    out += u'"';
}

void AppendAscii(std::u16string& out, const char* text) {
    while (*text) out += static_cast<char16_t>(*text++);
}

void AppendHexBytes(std::u16string& out, uint32_t type, const std::vector<uint8_t>& bytes) {
    char number[16];
    std::snprintf(number, sizeof number, "hex(%x):", type);
    AppendAscii(out, number);
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += u',';
        out += static_cast<char16_t>(kDigits[bytes[i] >> 4]);
        out += static_cast<char16_t>(kDigits[bytes[i] & 0xF]);
    }
}

std::u16string DecodeUtf16le(const std::vector<uint8_t>& data) {
    std::u16string text(data.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = Utf16leUnit(data, 2 * i);
    }
    return text;
}

bool FitsWindows1252(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char16_t c) { return ToWindows1252(c).has_value(); });
}

// A REGEDIT4 file holds string data given in hex as ANSI bytes.
std::vector<uint8_t> NarrowedToAnsi(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> narrow;
    for (char16_t c : DecodeUtf16le(data)) narrow.push_back(*ToWindows1252(c));
    return narrow;
}

void AppendData(std::u16string& out, const RegistryValue& value, bool regedit4) {
    bool wholeUnits = value.data.size() % 2 == 0;
    if (value.type == REG_SZ && wholeUnits) {
        std::u16string text = DecodeUtf16le(value.data);
        if (IsPrintableUtf16(text) && (!regedit4 || FitsWindows1252(text))) {
            AppendQuoted(out, text);
            return;
        }
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t dword = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                         (uint32_t(value.data[3]) << 24);
        char number[16];
        std::snprintf(number, sizeof number, "dword:%08x", dword);
        AppendAscii(out, number);
        return;
    }
    bool stringType =
        value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    if (regedit4 && stringType && wholeUnits && FitsWindows1252(DecodeUtf16le(value.data))) {
        AppendHexBytes(out, value.type, NarrowedToAnsi(value.data));
        return;
    }
    // Strings of other text a REGEDIT4 file cannot hold; the read-back check
    // refuses what comes of them.
    AppendHexBytes(out, value.type, value.data);
}

std::u16string ValueLine(const RegistryValue& value, bool regedit4) {
    std::u16string line;
    if (value.name.empty()) {
        line += u'@';
    } else {
        AppendQuoted(line, value.name);
    }
    line += u'=';
    AppendData(line, value, regedit4);
    return line;
}

bool IsReachable(const Registry& registry, size_t key) {
    for (; key != 0; key = registry.keys[key].parent) {
        if (registry.keys[key].removed) return false;
    }
    return true;
}

NewSection SectionFor(const Registry& registry, size_t key, std::u16string values) {
    NewSection section{{}, key, std::move(values)};
    for (size_t k = key; k != 0; k = registry.keys[k].parent)
        section.foldedPath.push_back(FoldCase(registry.keys[k].name));
    std::reverse(section.foldedPath.begin(), section.foldedPath.end());
    return section;
}

std::u16string SectionText(const Registry& registry, const NewSection& section,
                           std::u16string_view newline) {
    std::vector<size_t> chain;
    for (size_t k = section.key; k != 0; k = registry.keys[k].parent) chain.push_back(k);
    std::u16string text = u"[";
    for (auto k = chain.rbegin(); k != chain.rend(); ++k) {
        if (k != chain.rbegin()) text += u'\\';
        text += registry.keys[*k].name;
    }
    text += u']';
    text += newline;
    text += section.values;
    text += newline;
    return text;
}

// The edits that lay changed and new values into the source, and the
// sections new keys (and keys with new values but no section) need.
void CollectChanges(const Registry& registry, const Layout& layout, std::vector<Edit>& edits,
                    std::vector<NewSection>& sections) {
    for (size_t k = 1; k < registry.keys.size(); ++k) {
        const RegistryKey& key = registry.keys[k];
        std::u16string added;
        bool changed = false;
        for (const RegistryValue& value : key.values) {
            if (value.lineBegin == kNoPlace) {
                added += ValueLine(value, layout.regedit4) + layout.newline;
            } else {
                changed = changed || value.changed;
            }
        }
        bool isNew = k >= registry.keysRead;
        if ((added.empty() && !changed && !isNew) || !IsReachable(registry, k)) continue;
        for (const RegistryValue& value : key.values) {
            if (value.lineBegin != kNoPlace && value.changed)
                edits.push_back(
                    {value.lineBegin, value.lineEnd, ValueLine(value, layout.regedit4)});
        }
        if (key.insertAt != kNoPlace) {
            if (!added.empty()) edits.push_back({key.insertAt, key.insertAt, std::move(added)});
        } else if (isNew || !added.empty()) {
            sections.push_back(SectionFor(registry, k, std::move(added)));
        }
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    std::sort(sections.begin(), sections.end(),
              [](const NewSection& a, const NewSection& b) { return a.foldedPath < b.foldedPath; });
}

}  // namespace

std::optional<std::string> FormatRegistryWithin(const Registry& registry, size_t limit) {
    const Layout layout = LayoutOf(registry.source);
    std::vector<Edit> edits;
    std::vector<NewSection> sections;
    CollectChanges(registry, layout, edits, sections);

    const std::string_view base = layout.bytes;
    std::string out;
    size_t pos = 0;
    bool lineOpen = !layout.lastLineEndMissing.empty();
    bool blankBehind = layout.endsWithBlankLine;
    for (const Edit& edit : edits) {
        out.append(base.substr(pos, edit.begin - pos));
        if (edit.begin == base.size()) {
            if (lineOpen) AppendEncoded(out, layout.lastLineEndMissing, layout.encoding);
            lineOpen = false;
            blankBehind = false;
        }
        AppendEncoded(out, edit.text, layout.encoding);
        pos = edit.end;
    }
    out.append(base.substr(pos));
    if (out.size() > limit) return std::nullopt;
    if (sections.empty()) return out;

    if (lineOpen) AppendEncoded(out, layout.lastLineEndMissing, layout.encoding);
    if (!blankBehind) AppendEncoded(out, layout.newline, layout.encoding);
    for (const NewSection& section : sections) {
        AppendEncoded(out, SectionText(registry, section, layout.newline), layout.encoding);
        if (out.size() > limit) return std::nullopt;
    }
    return out;
}

std::string FormatRegistry(const Registry& registry) {
    return *FormatRegistryWithin(registry, std::string().max_size());
}

}  // namespace qoz::host
