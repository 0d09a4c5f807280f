#include <gtest/gtest.h>

#include "platform/common/utf16.h"

using qoz::Utf16ToUtf8;
using qoz::Utf8ToUtf16;

TEST(Utf, RoundTripsHangulAsciiAndAstralText) {
    std::u16string text = u"펜입력 -42.16471 \U0001F58A";
    std::string bytes = Utf16ToUtf8(text);
    EXPECT_EQ(bytes, "\xED\x8E\x9C\xEC\x9E\x85\xEB\xA0\xA5 -42.16471 \xF0\x9F\x96\x8A");
    EXPECT_EQ(Utf8ToUtf16(bytes), text);
}

TEST(Utf, LoneSurrogatesBecomeReplacementCharacters) {
    std::u16string text = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(Utf16ToUtf8(text),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(Utf, MalformedUtf8IsRejected) {
    EXPECT_FALSE(Utf8ToUtf16("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(Utf8ToUtf16("\xED\xA0\x80"));      // encoded surrogate
    EXPECT_FALSE(Utf8ToUtf16("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(Utf8ToUtf16("abc\xE2\x82"));       // truncated sequence
    EXPECT_FALSE(Utf8ToUtf16("\xFF"));
    EXPECT_EQ(Utf8ToUtf16(""), u"");
}
