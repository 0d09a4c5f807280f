// Reading the registry text: line by line, the first error stops the parse
// and names its line.
#include <string>

#include "platform/common/utf16.h"
#include "platform/host/advapi32/registry_text.h"

namespace qoz::host {

namespace {

// Set when the line is wrong: what is wrong with it.
using Problem = std::optional<std::string>;

struct PendingHex {
    size_t key = 0;
    std::u16string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct ParseState {
    Registry registry;
    std::optional<size_t> key;          // the section being read
    std::optional<PendingHex> pending;  // hex data continued on the next line
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }

bool IsHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool AllHexDigits(std::u16string_view text) {
    for (char16_t c : text) {
        if (!IsHexDigit(c)) return false;
    }
    return true;
}

uint32_t HexNumber(std::u16string_view digits) {
    uint32_t number = 0;
    for (char16_t c : digits) {
        uint32_t digit = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
        number = (number << 4) | digit;
    }
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

std::vector<uint8_t> EncodeUtf16le(std::u16string_view text) {
    std::vector<uint8_t> data;
    data.reserve(text.size() * 2);
    for (char16_t c : text) {
        data.push_back(static_cast<uint8_t>(c & 0xFF));
        data.push_back(static_cast<uint8_t>(c >> 8));
    }
    return data;
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

std::string DescribeBadKeyPath(std::u16string_view path) {
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
    // UTF-8 input always gives paired surrogates, so this is not reached from a file.
    return "unpaired surrogate in key name";
}

Problem ParseSection(ParseState& state, std::u16string_view line) {
    if (line.size() < 2 || line.back() != u']')
        return "bad section line (no closing bracket at its end)";
    std::u16string_view path = line.substr(1, line.size() - 2);
    if (path.empty()) return "bad section line (no key path)";
    std::optional<std::vector<std::u16string>> names = SplitKeyPath(path);
    if (!names) return "bad section line (" + DescribeBadKeyPath(path) + ")";
    state.key = AddKey(state.registry, *names, nullptr);
    return std::nullopt;
}

Problem ParseData(ParseState& state, std::u16string_view name, std::u16string_view data) {
    size_t key = *state.key;
    if (data.empty()) return "missing value data";
    if (data.front() == u'"') {
        std::u16string text;
        size_t i = 0;
        if (Problem problem = ReadQuoted(data, i, text, "string")) return problem;
        if (i != data.size()) return "text after the string";
        SetValue(state.registry, key, name, 1, EncodeUtf16le(text));
        return std::nullopt;
    }
    if (StartsWithNoCase(data, "dword:")) {
        std::u16string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 || !AllHexDigits(digits)) return "bad dword";
        uint32_t dword = HexNumber(digits);
        SetValue(state.registry, key, name, 4,
                 {uint8_t(dword), uint8_t(dword >> 8), uint8_t(dword >> 16), uint8_t(dword >> 24)});
        return std::nullopt;
    }
    uint32_t type = 3;
    size_t bytesStart = 4;
    if (StartsWithNoCase(data, "hex(")) {
        size_t close = data.find(u')');
        if (close == data.npos) return "bad value type in hex(...)";
        std::u16string_view digits = data.substr(4, close - 4);
        if (digits.empty() || digits.size() > 8 || !AllHexDigits(digits) ||
            close + 1 >= data.size() || data[close + 1] != u':') {
            return "bad value type in hex(...)";
        }
        type = HexNumber(digits);
        bytesStart = close + 2;
    } else if (!StartsWithNoCase(data, "hex:")) {
        return "unknown value type";
    }
    PendingHex value{key, std::u16string(name), type, {}};
    bool continues = false;
    if (Problem problem = ReadHexBytes(data.substr(bytesStart), value.data, continues))
        return problem;
    if (continues) {
        state.pending = std::move(value);
    } else {
        SetValue(state.registry, key, name, type, std::move(value.data));
    }
    return std::nullopt;
}

Problem ParseValue(ParseState& state, std::u16string_view line) {
    std::u16string name;
    size_t i = 0;
    if (line.front() == u'@') {
        i = 1;
    } else if (line.front() == u'"') {
        if (Problem problem = ReadQuoted(line, i, name, "quoted name")) return problem;
        if (name.size() > kMaxValueNameLength) return "value name longer than 16383 characters";
    } else {
        return "bad value line (it must start with \"name\"= or @=)";
    }
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size() || line[i] != u'=') return "bad value line (no = after the name)";
    ++i;
    if (FindValue(state.registry, *state.key, name)) {
        return "the value name " +
               (name.empty() ? std::string("@") : '"' + Utf16ToUtf8(name) + '"') +
               " appears twice in the key";
    }
    return ParseData(state, name, Trim(line.substr(i)));
}

Problem ContinueHex(ParseState& state, std::u16string_view line) {
    PendingHex& value = *state.pending;
    bool continues = false;
    if (Problem problem = ReadHexBytes(line, value.data, continues)) return problem;
    if (!continues) {
        SetValue(state.registry, value.key, value.name, value.type, std::move(value.data));
        state.pending.reset();
    }
    return std::nullopt;
}

Problem ParseLine(ParseState& state, size_t number, std::u16string_view line) {
    if (number == 1) {
        if (line == kRegistryHeader) return std::nullopt;
        if (line.empty() || line.front() == u'[') return "missing header";
        return "incorrect header";
    }
    if (state.pending) return ContinueHex(state, line);
    if (line.empty() || line.front() == u';') return std::nullopt;
    if (line.front() == u'[') return ParseSection(state, line);
    if (!state.key) return "text before the first section";
    return ParseValue(state, line);
}

}  // namespace

ParseResult ParseRegistry(std::string_view text) {
    ParseResult result;
    if (text.empty()) return result;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    ParseState state;
    size_t number = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string_view raw = text.substr(pos, end == text.npos ? text.npos : end - pos);
        pos = end == text.npos ? text.size() : end + 1;
        ++number;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        std::optional<std::u16string> line = Utf8ToUtf16(raw);
        Problem problem = line ? ParseLine(state, number, Trim(*line)) : Problem("invalid UTF-8");
        if (problem) {
            result.error = ParseError{number, *problem};
            return result;
        }
    }
    if (number == 0) {
        result.error = ParseError{1, "missing header"};
    } else if (state.pending) {
        result.error =
            ParseError{number, "unterminated hex data (the last line ends with a continuation)"};
    }
    result.registry = std::move(state.registry);
    return result;
}

}  // namespace qoz::host
