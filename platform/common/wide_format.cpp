#include "platform/common/wide_format.h"

#include <charconv>
#include <cmath>
#include <cwchar>
#include <string_view>

namespace qoz {

namespace {

constexpr int kLargestField = 4096;
constexpr int kDefaultDecimals = 6;

struct Conversion {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;  // -1: none given
    char size = 0;       // 'h', 'l' or 0
    char letter = 0;
};

template <typename Char>
bool ReadNumber(const Char*& p, int& value) {
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + static_cast<int>(*p - '0');
        if (value > kLargestField) return false;
        ++p;
    }
    return true;
}

// Reads what follows a '%' up to and including the conversion letter.
// Returns the position behind the letter, or nullptr when the text there is
// not a conversion this formatter knows.
template <typename Char>
const Char* ReadConversion(const Char* p, Conversion& conversion) {
    for (;; ++p) {
        if (*p == '-') {
            conversion.leftAlign = true;
        } else if (*p == '0') {
            conversion.zeroPad = true;
        } else {
            break;
        }
    }
    if (!ReadNumber(p, conversion.width)) return nullptr;
    if (*p == '.') {
        ++p;
        conversion.precision = 0;
        if (!ReadNumber(p, conversion.precision)) return nullptr;
    }
    if (*p == 'h' || *p == 'l') conversion.size = static_cast<char>(*p++);
    switch (*p) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'c':
        case 's':
        case 'f':
        case '%':
            conversion.letter = static_cast<char>(*p);
            return p + 1;
        default:
            return nullptr;
    }
}

// Appends `text` padded to the conversion's width. Zeros go behind a
// leading minus sign, so "-42" in a zero-padded width of 6 is "-00042".
template <typename Char, typename TextChar>
void AppendField(std::basic_string<Char>& out, const Conversion& conversion,
                 std::basic_string_view<TextChar> text, bool zerosAllowed) {
    using Unit = std::make_unsigned_t<TextChar>;
    auto appendText = [&out](std::basic_string_view<TextChar> part) {
        for (TextChar c : part) out.push_back(static_cast<Char>(static_cast<Unit>(c)));
    };
    size_t width = static_cast<size_t>(conversion.width);
    size_t padding = width > text.size() ? width - text.size() : 0;
    if (conversion.leftAlign) {
        appendText(text);
        out.append(padding, static_cast<Char>(' '));
    } else if (conversion.zeroPad && zerosAllowed) {
        size_t signLength = !text.empty() && text[0] == '-' ? 1 : 0;
        appendText(text.substr(0, signLength));
        out.append(padding, static_cast<Char>('0'));
        appendText(text.substr(signLength));
    } else {
        out.append(padding, static_cast<Char>(' '));
        appendText(text);
    }
}

template <typename Char, typename Integer>
void AppendInteger(std::basic_string<Char>& out, const Conversion& conversion, Integer value,
                   int base, bool upperCase) {
    char text[40];
    char* end = std::to_chars(text, text + sizeof text, value, base).ptr;
    std::string_view digits(text, static_cast<size_t>(end - text));
    std::string field;
    if (!digits.empty() && digits[0] == '-') {
        field += '-';
        digits.remove_prefix(1);
    }
    if (conversion.precision == 0 && value == 0) digits = {};
    size_t minimumDigits = conversion.precision < 0 ? 0 : static_cast<size_t>(conversion.precision);
    if (digits.size() < minimumDigits) field.append(minimumDigits - digits.size(), '0');
    for (char c : digits) field += upperCase && c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c;
    AppendField(out, conversion, std::string_view(field), conversion.precision < 0);
}

template <typename Char>
void AppendFixed(std::basic_string<Char>& out, const Conversion& conversion, double value) {
    int decimals = conversion.precision < 0 ? kDefaultDecimals : conversion.precision;
    // A sign, up to 309 integer digits, the point and the decimals.
    std::string text(2 + 309 + 1 + static_cast<size_t>(decimals), '\0');
    auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                std::chars_format::fixed, decimals);
    text.resize(result.ec == std::errc() ? static_cast<size_t>(result.ptr - text.data()) : 0);
    AppendField(out, conversion, std::string_view(text), std::isfinite(value));
}

template <typename TextChar>
std::basic_string_view<TextChar> BoundedText(const TextChar* text, int precision) {
    size_t length = 0;
    while ((precision < 0 || length < static_cast<size_t>(precision)) && text[length] != 0)
        ++length;
    return std::basic_string_view<TextChar>(text, length);
}

template <typename Char>
void AppendString(std::basic_string<Char>& out, const Conversion& conversion, va_list& args) {
    if (conversion.size == 'h') {
        const char* text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        AppendField(out, conversion, BoundedText(text, conversion.precision), false);
    } else {
        const Char* text = va_arg(args, const Char*);
        if (text == nullptr) {
            AppendField(out, conversion, BoundedText("(null)", conversion.precision), false);
        } else {
            AppendField(out, conversion, BoundedText(text, conversion.precision), false);
        }
    }
}

template <typename Char>
void AppendCharacter(std::basic_string<Char>& out, const Conversion& conversion, int value) {
    Char c = conversion.size == 'h' ? static_cast<Char>(static_cast<unsigned char>(value))
                                    : static_cast<Char>(value);
    AppendField(out, conversion, std::basic_string_view<Char>(&c, 1), false);
}

template <typename Char>
void AppendConversion(std::basic_string<Char>& out, const Conversion& conversion, va_list& args) {
    switch (conversion.letter) {
        case 'd':
        case 'i': {
            int value = va_arg(args, int);
            if (conversion.size == 'h') value = static_cast<short>(value);
            AppendInteger(out, conversion, value, 10, false);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            unsigned value = va_arg(args, unsigned);
            if (conversion.size == 'h') value = static_cast<unsigned short>(value);
            int base = conversion.letter == 'u' ? 10 : 16;
            AppendInteger(out, conversion, value, base, conversion.letter == 'X');
            break;
        }
        case 'c':
            AppendCharacter(out, conversion, va_arg(args, int));
            break;
        case 's':
            AppendString(out, conversion, args);
            break;
        case 'f':
            AppendFixed(out, conversion, va_arg(args, double));
            break;
        default:
            out.push_back(static_cast<Char>('%'));
            break;
    }
}

}  // namespace

template <typename Char>
void AppendFormatted(std::basic_string<Char>& out, const Char* format, va_list args) {
    if (format == nullptr) return;
    va_list pending;
    va_copy(pending, args);
    const Char* p = format;
    while (*p != 0) {
        if (*p != '%') {
            out.push_back(*p++);
            continue;
        }
        Conversion conversion;
        const Char* next = ReadConversion(p + 1, conversion);
        if (next == nullptr) {
            // Not a conversion: the '%' stands for itself and the text behind
            // it is copied like any other.
            out.push_back(*p++);
            continue;
        }
        AppendConversion(out, conversion, pending);
        p = next;
    }
    va_end(pending);
}

template <typename Char>
int CopyIntoWsprintfBuffer(Char* buffer, const std::basic_string<Char>& text) {
    constexpr size_t kBufferCapacity = 1024;
    if (buffer == nullptr) return 0;
    size_t count = text.size() < kBufferCapacity ? text.size() : kBufferCapacity - 1;
    text.copy(buffer, count);
    buffer[count] = 0;
    return static_cast<int>(count);
}

template void AppendFormatted<char16_t>(std::u16string&, const char16_t*, va_list);
template int CopyIntoWsprintfBuffer<char16_t>(char16_t*, const std::u16string&);
#if WCHAR_MAX <= 0xFFFF
template void AppendFormatted<wchar_t>(std::wstring&, const wchar_t*, va_list);
template int CopyIntoWsprintfBuffer<wchar_t>(wchar_t*, const std::wstring&);
#endif

}  // namespace qoz
