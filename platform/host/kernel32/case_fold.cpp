#include "platform/host/kernel32/case_fold.h"

#include <locale.h>
#include <wctype.h>

namespace qoz::host {

namespace {

// The C.UTF-8 locale carries the full Unicode case tables; if the system
// lacks it, the plain C locale still folds ASCII.
locale_t CaseLocale() {
    static const locale_t locale = [] {
        locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        return utf8 ? utf8 : newlocale(LC_CTYPE_MASK, "C", locale_t{});
    }();
    return locale;
}

char32_t FoldCharacter(char32_t c) {
    if (c < 0x80) return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    locale_t locale = CaseLocale();
    if (!locale) return c;
    wint_t upper = towupper_l(static_cast<wint_t>(c), locale);
    return static_cast<char32_t>(towlower_l(upper, locale));
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<char16_t>(c);
    }
}

}  // namespace

std::u16string FoldCase(std::u16string_view text) {
    std::u16string folded;
    folded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
                    text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair) {
            char32_t c = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            AppendUtf16(folded, FoldCharacter(c));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            folded += unit;
        } else {
            AppendUtf16(folded, FoldCharacter(unit));
        }
    }
    return folded;
}

}  // namespace qoz::host
