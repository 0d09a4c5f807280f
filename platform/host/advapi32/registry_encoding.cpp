#include "platform/host/advapi32/registry_encoding.h"

#include "platform/common/utf16.h"

namespace qoz::host {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16leMark = "\xFF\xFE";
constexpr std::string_view kRegedit4Header = "REGEDIT4";

// Bytes 0x80 to 0x9F; the rest of Windows-1252 is Latin-1.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool FirstLineIsRegedit4(std::string_view bytes) {
    std::string_view line = bytes.substr(0, bytes.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return line == kRegedit4Header;
}

}  // namespace

TextEncoding DetectEncoding(std::string_view bytes) {
    if (bytes.starts_with(kUtf16leMark)) return TextEncoding::Utf16le;
    if (bytes.starts_with(kUtf8Mark)) return TextEncoding::Utf8WithBom;
    if (FirstLineIsRegedit4(bytes)) return TextEncoding::Windows1252;
    return TextEncoding::Utf8;
}

std::string_view ByteOrderMark(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8WithBom:
            return kUtf8Mark;
        case TextEncoding::Utf16le:
            return kUtf16leMark;
        default:
            return {};
    }
}

LineSpan FindLine(std::string_view bytes, size_t begin, TextEncoding encoding) {
    LineSpan line{begin, bytes.size(), bytes.size(), false};
    if (encoding == TextEncoding::Utf16le) {
        size_t at = begin;
        while (at + 1 < bytes.size() && Utf16leUnit(bytes, at) != u'\n') at += 2;
        if (at + 1 < bytes.size()) {
            line.textEnd = at;
            line.end = at + 2;
        } else if (at < bytes.size()) {
            line.textEnd = at + 1;  // an odd byte at the end: DecodeLine refuses it
        }
        if (line.textEnd >= begin + 2 && (line.textEnd - begin) % 2 == 0 &&
            Utf16leUnit(bytes, line.textEnd - 2) == u'\r') {
            line.textEnd -= 2;
            line.crlf = true;
        }
        return line;
    }
    size_t newline = bytes.find('\n', begin);
    if (newline != bytes.npos) {
        line.textEnd = newline;
        line.end = newline + 1;
    }
    if (line.textEnd > begin && bytes[line.textEnd - 1] == '\r') {
        --line.textEnd;
        line.crlf = true;
    }
    return line;
}

std::optional<std::u16string> DecodeLine(std::string_view bytes, TextEncoding encoding,
                                         std::string& reason) {
    switch (encoding) {
        case TextEncoding::Utf16le: {
            if (bytes.size() % 2 != 0) {
                reason = "an odd number of bytes in UTF-16 text";
                return std::nullopt;
            }
            std::u16string text(bytes.size() / 2, u'\0');
            for (size_t i = 0; i < text.size(); ++i) text[i] = Utf16leUnit(bytes, 2 * i);
            return text;
        }
        case TextEncoding::Windows1252: {
            std::u16string text(bytes.size(), u'\0');
            for (size_t i = 0; i < text.size(); ++i)
                text[i] = FromWindows1252(static_cast<uint8_t>(bytes[i]));
            return text;
        }
        default: {
            std::optional<std::u16string> text = Utf8ToUtf16(bytes);
            if (!text) reason = "invalid UTF-8";
            return text;
        }
    }
}

void AppendEncoded(std::string& out, std::u16string_view text, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf16le:
            out += Utf16leBytes<std::string>(text);
            return;
        case TextEncoding::Windows1252:
            for (char16_t c : text) out += static_cast<char>(ToWindows1252(c).value_or('?'));
            return;
        default:
            out += Utf16ToUtf8(text);
            return;
    }
}

char16_t FromWindows1252(uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte);
}

std::optional<uint8_t> ToWindows1252(char16_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<uint8_t>(character);
    for (uint8_t i = 0; i < 32; ++i) {
        if (kWindows1252High[i] == character) return static_cast<uint8_t>(0x80 + i);
    }
    return std::nullopt;
}

}  // namespace qoz::host
