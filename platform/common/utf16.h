// UTF-16 text one code point at a time, and its conversions to and from
// UTF-8 at the edges (files, terminal, fonts, shared-object names).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qoz {

constexpr char32_t kReplacementCharacter = 0xFFFD;

constexpr bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// One code point read from UTF-16 text. A high surrogate followed by a low
// one is a pair; any other surrogate is unpaired and is read as its own
// unit value, so each caller decides what it becomes.
struct Utf16CodePoint {
    char32_t value = 0;
    size_t units = 0;  // code units read: 1, or 2 for a pair
    bool unpaired = false;

    char32_t OrReplacement() const { return unpaired ? kReplacementCharacter : value; }
};

// The code point that starts at text[at]; at must be below text.size().
Utf16CodePoint DecodeUtf16(std::u16string_view text, size_t at);

// Appends a code point up to U+10FFFF: one unit, or a surrogate pair above
// U+FFFF. A surrogate value is appended as that single unit.
void AppendUtf16(std::u16string& out, char32_t codePoint);

// Appends a code point up to U+10FFFF as one to four UTF-8 bytes.
void AppendUtf8(std::string& out, char32_t codePoint);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Empty when the bytes are not well-formed UTF-8 (overlong forms, surrogates
// and code points above U+10FFFF are rejected).
std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes);

// UTF-16 code units as little-endian byte pairs, the way Windows keeps text in
// files and registry values; Bytes is std::vector<uint8_t> or std::string.
template <typename Bytes = std::vector<uint8_t>>
Bytes Utf16leBytes(std::u16string_view text) {
    Bytes bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<typename Bytes::value_type>(unit & 0xFF));
        bytes.push_back(static_cast<typename Bytes::value_type>(unit >> 8));
    }
    return bytes;
}

// The code unit whose two bytes start at bytes[at].
template <typename Bytes>
char16_t Utf16leUnit(const Bytes& bytes, size_t at) {
    return static_cast<char16_t>(static_cast<uint8_t>(bytes[at]) |
                                 static_cast<uint8_t>(bytes[at + 1]) << 8);
}

}  // namespace qoz
