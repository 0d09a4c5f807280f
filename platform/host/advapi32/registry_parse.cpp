// Reading the registry text: line by line, in the file's encoding, the way
// regedit imports it; the first error stops the parse and names its line.
#include <algorithm>
#include <string>

#include "platform/common/utf16.h"
#include "platform/host/advapi32/registry_text.h"
#include "platform/platform.h"

namespace qoz::host {

namespace {

// Set when the line is wrong: what is wrong with it.
using Problem = std::optional<std::string>;

struct PendingHex {
    std::optional<size_t> key;  // none: the value belongs to no key and is dropped
    std::u16string name;
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;
    size_t begin = 0;  // where its first line starts
    bool hex = false;  // the data was given as hex bytes
};

struct ParseState {
    Registry registry;
    bool regedit4 = false;
    bool inSection = false;             // a section line, or a key's removal, was read
    std::optional<size_t> key;          // the key the current section opened
    std::optional<PendingHex> pending;  // hex data continued on the next line
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }

bool IsHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool AllHexDigits(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), IsHexDigit);
}

uint32_t HexNumber(std::u16string_view digits) {
    uint32_t number = 0;
    for (char16_t c : digits)
        number = number << 4 | (c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10);
    return number;
}

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool StartsWithNoCase(std::u16string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char16_t c = text[i] >= u'A' && text[i] <= u'Z' ? text[i] + 32 : text[i];
        if (c != static_cast<char16_t>(prefix[i])) return false;
    }
    return true;
}

// Reads the quoted text that starts at text[i]; i ends behind the closing quote.
Problem ReadQuoted(std::u16string_view text, size_t& i, std::u16string& out,
                   const std::string& what) {
    ++i;
    while (i < text.size()) {
        char16_t c = text[i++];
        if (c == u'"') return std::nullopt;
        if (c == u'\\') {
            if (i == text.size()) break;
            c = text[i++];
            if (c != u'\\' && c != u'"') return "bad escape in " + what;
        } else if (IsControl(c)) {
            return "control character in " + what;
        }
        out += c;
    }
    return "unterminated " + what;
}

// Appends the bytes of "31,00,..." to data. continues tells that the list
// ends with a backslash and goes on on the next line.
Problem ReadHexBytes(std::u16string_view list, std::vector<uint8_t>& data, bool& continues) {
    list = Trim(list);
    continues = !list.empty() && list.back() == u'\\';
    if (continues) {
        list = Trim(list.substr(0, list.size() - 1));
        if (!list.empty()) {
            if (list.back() != u',')
                return "bad hex data (a comma must come before the continuation)";
            list.remove_suffix(1);
        }
    }
    if (list.empty()) return std::nullopt;
    size_t start = 0;
    while (true) {
        size_t comma = list.find(u',', start);
        std::u16string_view digits =
            Trim(list.substr(start, comma == list.npos ? list.npos : comma - start));
        if (digits.empty()) return "bad hex data (missing byte)";
        if (!AllHexDigits(digits)) return "bad hex data (not a hex digit)";
        if (digits.size() % 2 != 0) return "bad hex data (odd number of digits)";
        if (digits.size() != 2) return "bad hex data (two digits per byte)";
        data.push_back(static_cast<uint8_t>(HexNumber(digits)));
        if (comma == list.npos) return std::nullopt;
        start = comma + 1;
    }
}

Problem ParseSection(ParseState& state, std::u16string_view line, const LineSpan& span) {
    if (line.size() < 2 || line.back() != u']')
        return "bad section line (no closing bracket at its end)";
    std::u16string_view path = line.substr(1, line.size() - 2);
    bool removal = !path.empty() && path.front() == u'-';
    if (removal) path.remove_prefix(1);
    if (path.empty()) return "bad section line (no key path)";
    std::optional<std::vector<std::u16string>> names = SplitKeyPath(path);
    if (!names) return "bad section line (" + WhyNotKeyPath(path) + ")";
    state.inSection = true;
    if (removal) {
        if (names->size() == 1) return "bad section line (a root key cannot be removed)";
        RemoveKey(state.registry, *names);
        state.key.reset();
        return std::nullopt;
    }
    state.key = AddKey(state.registry, *names, nullptr);
    state.registry.keys[*state.key].insertAt = span.end;
    return std::nullopt;
}

bool IsStringType(uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// REGEDIT4 files hold string data given in hex (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) as ANSI bytes, which regedit turns into UTF-16 on import.
void WidenAnsiStrings(const ParseState& state, PendingHex& value) {
    if (!state.regedit4 || !value.hex || !IsStringType(value.type)) return;
    std::u16string wide;
    for (uint8_t byte : value.data) wide += FromWindows1252(byte);
    value.data = Utf16leBytes(wide);
}

void StoreValue(ParseState& state, PendingHex value, const LineSpan& last) {
    if (!value.key) return;
    WidenAnsiStrings(state, value);
    RegistryValue& stored =
        SetValue(state.registry, *value.key, value.name, value.type, std::move(value.data));
    stored.lineBegin = value.begin;
    stored.lineEnd = last.textEnd;
    state.registry.keys[*value.key].insertAt = last.end;
}

// Reads a line of hex bytes into the pending value, which is stored once the
// bytes end.
Problem ContinueHex(ParseState& state, std::u16string_view line, const LineSpan& span) {
    PendingHex& value = *state.pending;
    bool continues = false;
    if (Problem problem = ReadHexBytes(line, value.data, continues)) return problem;
    if (continues) {
        if (value.key) state.registry.keys[*value.key].insertAt = span.end;
    } else {
        StoreValue(state, std::move(value), span);
        state.pending.reset();
    }
    return std::nullopt;
}

Problem ParseData(ParseState& state, PendingHex value, std::u16string_view data,
                  const LineSpan& span) {
    if (data.empty()) return "missing value data";
    if (data == u"-") {
        if (value.key) {
            RemoveValue(state.registry, *value.key, value.name);
            state.registry.keys[*value.key].insertAt = span.end;
        }
        return std::nullopt;
    }
    if (data.front() == u'"') {
        std::u16string text;
        size_t i = 0;
        if (Problem problem = ReadQuoted(data, i, text, "string")) return problem;
        if (i != data.size()) return "text after the string";
        value.type = REG_SZ;
        value.data = Utf16leBytes(text);
        StoreValue(state, std::move(value), span);
        return std::nullopt;
    }
    if (StartsWithNoCase(data, "dword:")) {
        std::u16string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 || !AllHexDigits(digits)) return "bad dword";
        uint32_t dword = HexNumber(digits);
        value.type = REG_DWORD;
        value.data = {uint8_t(dword), uint8_t(dword >> 8), uint8_t(dword >> 16),
                      uint8_t(dword >> 24)};
        StoreValue(state, std::move(value), span);
        return std::nullopt;
    }
    value.type = REG_BINARY;
    value.hex = true;
    size_t bytesStart = 4;
    if (StartsWithNoCase(data, "hex(")) {
        size_t close = data.find(u')');
        std::u16string_view digits = data.substr(4, close - 4);
        if (close == data.npos || digits.empty() || digits.size() > 8 || !AllHexDigits(digits) ||
            close + 1 >= data.size() || data[close + 1] != u':')
            return "bad value type in hex(...)";
        value.type = HexNumber(digits);
        bytesStart = close + 2;
    } else if (!StartsWithNoCase(data, "hex:")) {
        return "unknown value type";
    }
    state.pending = std::move(value);
    return ContinueHex(state, data.substr(bytesStart), span);
}

Problem ParseValue(ParseState& state, std::u16string_view line, const LineSpan& span) {
    PendingHex value{state.key, {}, REG_NONE, {}, span.begin};
    size_t i = 0;
    if (line.front() == u'@') {
        i = 1;
    } else if (line.front() == u'"') {
        if (Problem problem = ReadQuoted(line, i, value.name, "quoted name")) return problem;
        if (value.name.size() > kMaxValueNameLength)
            return "value name longer than 16383 characters";
        if (!IsValidValueName(value.name)) return "unpaired surrogate in quoted name";
    } else {
        return "bad value line (it must start with \"name\"= or @=)";
    }
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size() || line[i] != u'=') return "bad value line (no = after the name)";
    ++i;
    std::u16string_view data = Trim(line.substr(i));
    if (state.key && data != u"-" && FindValue(state.registry, *state.key, value.name)) {
        return "the value name " +
               (value.name.empty() ? std::string("@") : '"' + Utf16ToUtf8(value.name) + '"') +
               " appears twice in the key";
    }
    return ParseData(state, std::move(value), data, span);
}

Problem ParseHeader(ParseState& state, std::u16string_view line, TextEncoding encoding) {
    if (encoding == TextEncoding::Windows1252) {
        state.regedit4 = true;  // the encoding was chosen for this header
        return std::nullopt;
    }
    if (line == kRegistryHeader) return std::nullopt;
    if (line == kRegedit4Header)
        return "incorrect header (a REGEDIT4 file is ANSI text, without a byte-order mark)";
    if (line.empty() || line.front() == u'[') return "missing header";
    return "incorrect header";
}

Problem ParseLine(ParseState& state, std::u16string_view line, const LineSpan& span) {
    if (state.pending) return ContinueHex(state, line, span);
    if (line.empty() || line.front() == u';') return std::nullopt;
    if (line.front() == u'[') return ParseSection(state, line, span);
    if (!state.inSection) return "text before the first section";
    return ParseValue(state, line, span);
}

void RememberSource(ParseState& state, std::string_view text, TextEncoding encoding, bool crlf,
                    bool lastLineBlank) {
    RegistrySource& source = state.registry.source;
    source.bytes = text;
    source.encoding = encoding;
    source.regedit4 = state.regedit4;
    source.crlf = crlf;
    char16_t last = static_cast<uint8_t>(text.back());
    if (encoding == TextEncoding::Utf16le)
        last = text.size() >= 2 ? Utf16leUnit(text, text.size() - 2) : 0;
    if (last == u'\r')
        source.lastLineEndMissing = u"\n";
    else if (last != u'\n')
        source.lastLineEndMissing = crlf ? u"\r\n" : u"\n";
    source.endsWithBlankLine = lastLineBlank;
    state.registry.keysRead = state.registry.keys.size();
}

}  // namespace

ParseResult ParseRegistry(std::string_view text) {
    ParseResult result;
    if (text.empty()) return result;
    TextEncoding encoding = DetectEncoding(text);
    ParseState state;
    size_t number = 0;
    size_t pos = ByteOrderMark(encoding).size();
    bool crlf = encoding == TextEncoding::Utf16le || encoding == TextEncoding::Windows1252;
    bool lastLineBlank = false;
    std::string reason;
    while (pos < text.size()) {
        LineSpan span = FindLine(text, pos, encoding);
        pos = span.end;
        ++number;
        std::optional<std::u16string> line =
            DecodeLine(text.substr(span.begin, span.textEnd - span.begin), encoding, reason);
        Problem problem;
        if (!line) {
            problem = reason;
        } else if (number == 1) {
            if (span.end != span.textEnd) crlf = span.crlf;
            problem = ParseHeader(state, Trim(*line), encoding);
        } else {
            problem = ParseLine(state, Trim(*line), span);
        }
        if (problem) {
            result.error = ParseError{number, *problem};
            return result;
        }
        lastLineBlank = Trim(*line).empty();
    }
    if (number == 0) {
        result.error = ParseError{1, "missing header"};
    } else if (state.pending) {
        result.error =
            ParseError{number, "unterminated hex data (the last line ends with a continuation)"};
    }
    RememberSource(state, text, encoding, crlf, lastLineBlank);
    result.registry = std::move(state.registry);
    return result;
}

}  // namespace qoz::host
