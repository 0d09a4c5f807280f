// Feeds format strings to the wide-text formatter, with arguments that fit
// them. The input is the format (UTF-8, up to the first NUL byte) followed by
// the bytes the argument values are drawn from. The harness reads the format
// by the rules the formatter's header states, hands every conversion an
// argument of the type it takes (strings are real buffers, some of them
// exactly as long as a precision allows and not terminated), and checks the
// output against the C library's printf for the numbers and against the
// stated rules for characters and strings. wsprintfW must give the same text,
// cut to its 1024-unit buffer.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/common/utf16.h"
#include "platform/common/wide_format.h"
#include "platform/platform.h"

namespace {

constexpr size_t kMaxArguments = 4;
constexpr int kLargestField = 4096;
constexpr size_t kBufferCapacity = 1024;
constexpr size_t kLongestText = 48;

// Handed after the real arguments: a formatter that reads past them prints
// this (or its address) and the output no longer matches.
const char16_t kExtraArgument[] = u"<extra argument>";

struct Conversion {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;
    char size = 0;
    char letter = 0;
};

enum class Kind { Signed, Unsigned, Real, WideText, NarrowText };

struct Argument {
    Kind kind = Kind::Signed;
    int integer = 0;
    unsigned natural = 0;
    double real = 0;
    const char16_t* wide = nullptr;
    const char* narrow = nullptr;
};

struct Case {
    std::unique_ptr<char16_t[]> format;  // exactly as long as it is, so overreads are caught
    std::u16string expected;
    std::vector<Argument> arguments;
    std::vector<std::unique_ptr<char16_t[]>> wideTexts;
    std::vector<std::unique_ptr<char[]>> narrowTexts;
};

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "formatter property broken: %s\n", what);
    std::abort();
}

bool ReadNumber(const std::u16string& text, size_t& at, int& value) {
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
        value = value * 10 + (text[at] - u'0');
        if (value > kLargestField) return false;
        ++at;
    }
    return true;
}

// The conversion that starts behind the '%' at text[at]; at ends behind its
// letter. Empty when the text there is no conversion.
std::optional<Conversion> ReadConversion(const std::u16string& text, size_t& at) {
    Conversion conversion;
    for (; at < text.size() && (text[at] == u'-' || text[at] == u'0'); ++at)
        (text[at] == u'-' ? conversion.leftAlign : conversion.zeroPad) = true;
    if (!ReadNumber(text, at, conversion.width)) return std::nullopt;
    if (at < text.size() && text[at] == u'.') {
        conversion.precision = 0;
        if (!ReadNumber(text, ++at, conversion.precision)) return std::nullopt;
    }
    if (at < text.size() && (text[at] == u'h' || text[at] == u'l'))
        conversion.size = char(text[at++]);
    if (at == text.size() ||
        std::u16string_view(u"diuxXcsf%").find(text[at]) == std::u16string::npos)
        return std::nullopt;
    conversion.letter = char(text[at++]);
    return conversion;
}

std::u16string Padded(const Conversion& conversion, std::u16string text) {
    size_t width = size_t(conversion.width);
    if (text.size() >= width) return text;
    std::u16string padding(width - text.size(), u' ');
    return conversion.leftAlign ? text + padding : padding + text;
}

// The C library's text for a number conversion, with the size prefix
// already applied to the value.
template <typename Value>
std::u16string PrintedByC(const Conversion& conversion, char letter, Value value) {
    std::string format = "%";
    if (conversion.leftAlign) format += '-';
    if (conversion.zeroPad) format += '0';
    if (conversion.width > 0) format += std::to_string(conversion.width);
    if (conversion.precision >= 0) format += "." + std::to_string(conversion.precision);
    format += letter;
    std::vector<char> text(2 * kLargestField + 400);
    int length = std::snprintf(text.data(), text.size(), format.c_str(), value);
    if (length < 0 || size_t(length) >= text.size()) Fail("the reference printf failed");
    return std::u16string(text.begin(), text.begin() + length);
}

template <typename Unit>
std::u16string BoundedText(const Unit* text, int precision) {
    std::u16string result;
    for (size_t i = 0; (precision < 0 || i < size_t(precision)) && text[i] != 0; ++i)
        result += char16_t(std::make_unsigned_t<Unit>(text[i]));
    return result;
}

std::u16string ExpectedText(const Conversion& conversion, const Argument& argument) {
    switch (conversion.letter) {
        case 'd':
        case 'i':
            return PrintedByC(
                conversion, 'd',
                conversion.size == 'h' ? int(short(argument.integer)) : argument.integer);
        case 'u':
        case 'x':
        case 'X':
            return PrintedByC(conversion, conversion.letter,
                              conversion.size == 'h'
                                  ? unsigned(static_cast<unsigned short>(argument.natural))
                                  : argument.natural);
        case 'f':
            return PrintedByC(conversion, 'f', argument.real);
        case 'c': {
            char16_t unit = conversion.size == 'h'
                                ? char16_t(static_cast<unsigned char>(argument.integer))
                                : char16_t(argument.integer);
            return Padded(conversion, std::u16string(1, unit));
        }
        case 's':
            if (conversion.size == 'h')
                return Padded(conversion, BoundedText(argument.narrow ? argument.narrow : "(null)",
                                                      conversion.precision));
            if (argument.wide == nullptr)
                return Padded(conversion, BoundedText("(null)", conversion.precision));
            return Padded(conversion, BoundedText(argument.wide, conversion.precision));
        default:
            return u"%";
    }
}

// A string argument: terminated, or (where a precision bounds the read)
// exactly as long as the precision and not terminated; now and then null.
template <typename Unit>
Unit* MakeText(FuzzedDataProvider& input, int precision,
               std::vector<std::unique_ptr<Unit[]>>& keep) {
    if (input.ConsumeIntegralInRange(0, 15) == 0) return nullptr;
    bool unterminated = precision >= 0 && input.ConsumeBool();
    size_t length =
        unterminated ? size_t(precision) : input.ConsumeIntegralInRange<size_t>(0, kLongestText);
    auto text = std::make_unique<Unit[]>(unterminated ? length : length + 1);
    for (size_t i = 0; i < length; ++i)
        text[i] = input.remaining_bytes() > 0
                      ? Unit(input.ConsumeIntegral<std::make_unsigned_t<Unit>>())
                      : Unit('a' + i % 26);
    if (!unterminated) text[length] = 0;
    keep.push_back(std::move(text));
    return keep.back().get();
}

Argument MakeArgument(FuzzedDataProvider& input, const Conversion& conversion, Case& built) {
    Argument argument;
    switch (conversion.letter) {
        case 'd':
        case 'i':
        case 'c':
            argument.kind = Kind::Signed;
            argument.integer = input.ConsumeIntegral<int>();
            break;
        case 'u':
        case 'x':
        case 'X':
            argument.kind = Kind::Unsigned;
            argument.natural = input.ConsumeIntegral<unsigned>();
            break;
        case 'f': {
            argument.kind = Kind::Real;
            uint64_t bits = input.ConsumeIntegral<uint64_t>();
            std::memcpy(&argument.real, &bits, sizeof bits);
            break;
        }
        case 's':
            if (conversion.size == 'h') {
                argument.kind = Kind::NarrowText;
                argument.narrow = MakeText(input, conversion.precision, built.narrowTexts);
            } else {
                argument.kind = Kind::WideText;
                argument.wide = MakeText(input, conversion.precision, built.wideTexts);
            }
            break;
    }
    return argument;
}

std::u16string DecodeFormat(const std::string& bytes) {
    if (std::optional<std::u16string> text = qoz::Utf8ToUtf16(bytes)) return *text;
    return std::u16string(bytes.begin(), bytes.end());  // not UTF-8: one unit a byte
}

Case BuildCase(const uint8_t* data, size_t size) {
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    size_t formatBytes = nul ? size_t(nul - data) : size;
    std::u16string format =
        DecodeFormat(std::string(reinterpret_cast<const char*>(data), formatBytes));
    FuzzedDataProvider input(data + formatBytes, size - formatBytes);

    Case built;
    size_t at = 0;
    while (at < format.size()) {
        if (format[at] != u'%') {
            built.expected += format[at++];
            continue;
        }
        size_t start = at;
        std::optional<Conversion> conversion = ReadConversion(format, ++at);
        if (!conversion) {
            built.expected += u'%';
            at = start + 1;
            continue;
        }
        if (conversion->letter != '%') {
            if (built.arguments.size() == kMaxArguments) {
                format.resize(start);  // no more arguments than the harness can pass
                break;
            }
            built.arguments.push_back(MakeArgument(input, *conversion, built));
            built.expected += ExpectedText(*conversion, built.arguments.back());
        } else {
            built.expected += u'%';
        }
    }
    built.format = std::make_unique<char16_t[]>(format.size() + 1);
    std::copy(format.begin(), format.end(), built.format.get());
    built.format[format.size()] = 0;
    return built;
}

void AppendThrough(std::u16string& out, const char16_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    qoz::AppendFormatted(out, format, arguments);
    va_end(arguments);
}

template <typename... Values>
void Check(const Case& built, Values... values) {
    std::u16string out;
    AppendThrough(out, built.format.get(), values..., kExtraArgument, kExtraArgument);
    if (out != built.expected) {
        std::fprintf(stderr, "expected: %s\nformatted: %s\n",
                     qoz::Utf16ToUtf8(built.expected).c_str(), qoz::Utf16ToUtf8(out).c_str());
        Fail("the formatted text differs from the stated rules");
    }

    auto buffer = std::make_unique<WCHAR[]>(kBufferCapacity);
    int count =
        wsprintfW(buffer.get(), built.format.get(), values..., kExtraArgument, kExtraArgument);
    size_t kept = std::min(out.size(), kBufferCapacity - 1);
    if (count < 0 || size_t(count) != kept) Fail("wsprintfW counted other than it kept");
    if (out.compare(0, kept, buffer.get(), kept) != 0) Fail("wsprintfW wrote other text");
    if (buffer[kept] != 0) Fail("wsprintfW left its text unterminated");
}

// Passes the arguments with their own types: one instantiation for each
// sequence of kinds, up to kMaxArguments of them.
template <typename... Values>
void PassArguments(const Case& built, size_t next, Values... values) {
    if constexpr (sizeof...(Values) < kMaxArguments) {
        if (next < built.arguments.size()) {
            const Argument& argument = built.arguments[next];
            switch (argument.kind) {
                case Kind::Signed:
                    return PassArguments(built, next + 1, values..., argument.integer);
                case Kind::Unsigned:
                    return PassArguments(built, next + 1, values..., argument.natural);
                case Kind::Real:
                    return PassArguments(built, next + 1, values..., argument.real);
                case Kind::WideText:
                    return PassArguments(built, next + 1, values..., argument.wide);
                case Kind::NarrowText:
                    return PassArguments(built, next + 1, values..., argument.narrow);
            }
        }
    }
    Check(built, values...);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Case built = BuildCase(data, size);
    PassArguments(built, 0);
    return 0;
}
