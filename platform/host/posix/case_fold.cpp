#include "platform/host/posix/case_fold.h"

#include <locale.h>
#include <wctype.h>

#include "platform/common/utf16.h"

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

}  // namespace

std::u16string FoldCase(std::u16string_view text) {
    std::u16string folded;
    folded.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        Utf16CodePoint next = DecodeUtf16(text, i);
        if (next.unpaired) {
            folded += text[i];
        } else {
            AppendUtf16(folded, FoldCharacter(next.value));
        }
        i += next.units;
    }
    return folded;
}

}  // namespace qoz::host
