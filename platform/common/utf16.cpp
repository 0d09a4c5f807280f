#include "platform/common/utf16.h"

namespace qoz {

Utf16CodePoint DecodeUtf16(std::u16string_view text, size_t at) {
    char32_t unit = text[at];
    if (IsHighSurrogate(unit) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
        char32_t low = text[at + 1];
        return {0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), 2, false};
    }
    return {unit, 1, IsSurrogate(unit)};
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
        out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    } else {
        out += static_cast<char16_t>(codePoint);
    }
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        Utf16CodePoint next = DecodeUtf16(text, i);
        AppendUtf8(out, next.OrReplacement());
        i += next.units;
    }
    return out;
}

namespace {

// The lead byte's payload bits, how many continuation bytes follow it and the
// smallest code point that needs that many; false for a byte no sequence
// starts with.
bool ReadLeadByte(unsigned char lead, char32_t& bits, size_t& extra, char32_t& minimum) {
    if (lead < 0x80) {
        bits = lead;
        extra = 0;
        minimum = 0;
    } else if ((lead & 0xE0) == 0xC0) {
        bits = lead & 0x1F;
        extra = 1;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        bits = lead & 0x0F;
        extra = 2;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        bits = lead & 0x07;
        extra = 3;
        minimum = 0x10000;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        char32_t codePoint;
        size_t extra;
        char32_t minimum;
        if (!ReadLeadByte(static_cast<unsigned char>(bytes[i]), codePoint, extra, minimum))
            return std::nullopt;
        if (bytes.size() - i <= extra) return std::nullopt;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF || IsSurrogate(codePoint))
            return std::nullopt;
        AppendUtf16(out, codePoint);
        i += extra + 1;
    }
    return out;
}

}  // namespace qoz
