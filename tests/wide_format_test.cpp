#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr size_t kCapacity = 1024;

template <typename... Args>
std::u16string Printed(const char16_t* format, Args... args) {
    WCHAR buffer[kCapacity];
    int count = wsprintfW(buffer, format, args...);
    EXPECT_EQ(static_cast<size_t>(count), wcslen(buffer));
    return std::u16string(buffer, static_cast<size_t>(count));
}

TEST(WideFormat, SignedAndUnsignedIntegers) {
    EXPECT_EQ(Printed(u"%d|%i", 42, -42), u"42|-42");
    EXPECT_EQ(Printed(u"%d", INT_MIN), u"-2147483648");
    EXPECT_EQ(Printed(u"%u", 4294967295u), u"4294967295");
    EXPECT_EQ(Printed(u"%u", -1), u"4294967295");
    EXPECT_EQ(Printed(u"%x %X", 0xbeefu, 0xbeefu), u"beef BEEF");
    EXPECT_EQ(Printed(u"%d", 0), u"0");
}

TEST(WideFormat, SizePrefixesReadThirtyTwoBitsAndShortensWithH) {
    EXPECT_EQ(Printed(u"%ld %lu %lx", -7, 7u, 255u), u"-7 7 ff");
    EXPECT_EQ(Printed(u"%hd", 70000), u"4464");
    EXPECT_EQ(Printed(u"%hd", 0xFFFF), u"-1");
    EXPECT_EQ(Printed(u"%hu %hx", 65537, 0x12345), u"1 2345");
}

TEST(WideFormat, WidthFlagsAndPrecisionOfIntegers) {
    EXPECT_EQ(Printed(u"[%5d]", 42), u"[   42]");
    EXPECT_EQ(Printed(u"[%-5d]", 42), u"[42   ]");
    EXPECT_EQ(Printed(u"[%05d]", -42), u"[-0042]");
    EXPECT_EQ(Printed(u"[%-05d]", -42), u"[-42  ]");
    EXPECT_EQ(Printed(u"[%08X]", 0xabcu), u"[00000ABC]");
    EXPECT_EQ(Printed(u"[%.3d]", 7), u"[007]");
    EXPECT_EQ(Printed(u"[%.3d]", -7), u"[-007]");
    EXPECT_EQ(Printed(u"[%6.3d]", 7), u"[   007]");
    EXPECT_EQ(Printed(u"[%06.3d]", 7), u"[   007]");  // a precision turns the zero flag off
    EXPECT_EQ(Printed(u"[%.0d]", 0), u"[]");
    EXPECT_EQ(Printed(u"[%2d]", 12345), u"[12345]");
}

TEST(WideFormat, Characters) {
    EXPECT_EQ(Printed(u"%c%c", 'A', 0xD55C), u"A\uD55C");
    EXPECT_EQ(Printed(u"[%3c][%-3c]", 'x', 'y'), u"[  x][y  ]");
    EXPECT_EQ(Printed(u"%hc", 'z'), u"z");
}

TEST(WideFormat, WideStringsIncludingHangulAndNull) {
    EXPECT_EQ(Printed(u"[%s]", u"펜입력"), u"[펜입력]");
    EXPECT_EQ(Printed(u"[%ls]", u"삭제"), u"[삭제]");
    EXPECT_EQ(Printed(u"[%5s]", u"종료"), u"[   종료]");
    EXPECT_EQ(Printed(u"[%-5s]", u"ab"), u"[ab   ]");
    EXPECT_EQ(Printed(u"[%05s]", u"ab"), u"[   ab]");
    EXPECT_EQ(Printed(u"[%.2s]", u"Calibration"), u"[Ca]");
    EXPECT_EQ(Printed(u"[%s]", static_cast<const char16_t*>(nullptr)), u"[(null)]");
    EXPECT_EQ(Printed(u"[%s]", u"\U0001F600"), u"[\U0001F600]");
    EXPECT_EQ(Printed(u"[%hs]", "narrow"), u"[narrow]");
}

TEST(WideFormat, PrecisionBoundsHowFarAStringIsRead) {
    const char16_t unterminated[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(Printed(u"%.3s", unterminated), u"abc");
}

TEST(WideFormat, FixedPointDefaultsToSixDecimals) {
    EXPECT_EQ(Printed(u"%f", 3.5), u"3.500000");
    EXPECT_EQ(Printed(u"%f", -0.25), u"-0.250000");
    EXPECT_EQ(Printed(u"%lf", 1.0), u"1.000000");
}

TEST(WideFormat, FixedPointOfTheCalibrationTexts) {
    EXPECT_EQ(Printed(u"%.5f", 1.1294), u"1.12940");
    EXPECT_EQ(Printed(u"%.5f", -42.164711), u"-42.16471");
    // The stored offset -34.1333... is a 32-bit float, whose exact value
    // -34.13333511... rounds up where the double would not.
    double offset = 921.6 - 819.2 / 768.0 * 896.0;
    EXPECT_EQ(Printed(u"%.5f", static_cast<double>(static_cast<float>(offset))), u"-34.13334");
    EXPECT_EQ(Printed(u"%.5f", offset), u"-34.13333");
    EXPECT_EQ(Printed(u"%.5f", static_cast<double>(1.0666666f)), u"1.06667");
}

TEST(WideFormat, FixedPointWidthPrecisionAndRounding) {
    EXPECT_EQ(Printed(u"%.0f", 2.5), u"2");
    EXPECT_EQ(Printed(u"%.0f", 3.5), u"4");
    EXPECT_EQ(Printed(u"%.2f", 0.125), u"0.12");
    EXPECT_EQ(Printed(u"%.3f", 0.0005), u"0.001");
    EXPECT_EQ(Printed(u"[%8.2f]", -1.25), u"[   -1.25]");
    EXPECT_EQ(Printed(u"[%08.2f]", -1.25), u"[-0001.25]");
    EXPECT_EQ(Printed(u"[%-8.2f]", 1.25), u"[1.25    ]");
    EXPECT_EQ(Printed(u"%.2f", 1e20), u"100000000000000000000.00");
    EXPECT_EQ(Printed(u"%.1f", 1e308).size(), 309u + 2u);
}

TEST(WideFormat, NonFiniteValuesArePaddedWithSpaces) {
    EXPECT_EQ(Printed(u"[%06f]", INFINITY), u"[   inf]");
    EXPECT_EQ(Printed(u"[%f]", -INFINITY), u"[-inf]");
    EXPECT_EQ(Printed(u"[%f]", NAN).find(u"nan"), 1u);
}

TEST(WideFormat, PercentAndUnknownConversionsAreCopied) {
    EXPECT_EQ(Printed(u"100%%"), u"100%");
    EXPECT_EQ(Printed(u"%q %5.2z %"), u"%q %5.2z %");
    EXPECT_EQ(Printed(u"%lq%d", 7), u"%lq7");
    // A width too large to be meant is not a conversion and takes no argument.
    EXPECT_EQ(Printed(u"%99999d|%d", 7), u"%99999d|7");
    EXPECT_EQ(Printed(u"%.99999f|%d", 8), u"%.99999f|8");
}

TEST(WideFormat, DebugLineOfTheSettingsStore) {
    EXPECT_EQ(Printed(u"AddQOZRegistryItem : Successed - [%d] [%s] - [%s]\r\n", 2, u"ScaleX", u"1"),
              u"AddQOZRegistryItem : Successed - [2] [ScaleX] - [1]\r\n");
    EXPECT_EQ(Printed(u"Calibrate1Dimension : Scale = [%d %d] Offset = [%d %d]\r\n", 112, 106,
                      -4216, -3413),
              u"Calibrate1Dimension : Scale = [112 106] Offset = [-4216 -3413]\r\n");
}

TEST(WideFormatBuffer, OutputIsCutAtTenTwentyThreeCharactersAndTheNul) {
    const WCHAR canary = 0xBEEF;
    std::vector<WCHAR> buffer(kCapacity + 16, canary);
    std::u16string longText(2000, u'x');
    int count = wsprintfW(buffer.data(), u"%s", longText.c_str());
    EXPECT_EQ(count, 1023);
    EXPECT_EQ(buffer[1022], u'x');
    EXPECT_EQ(buffer[1023], 0);
    for (size_t i = kCapacity; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], canary) << i;
}

TEST(WideFormatBuffer, ExactlyFittingOutputIsKeptWhole) {
    auto buffer = std::make_unique<WCHAR[]>(kCapacity);  // exact size, so a sanitizer sees overruns
    std::u16string text(1023, u'y');
    EXPECT_EQ(wsprintfW(buffer.get(), u"%s", text.c_str()), 1023);
    EXPECT_EQ(std::u16string(buffer.get()), text);

    std::u16string format(1500, u'z');  // literal text is cut the same way
    EXPECT_EQ(wsprintfW(buffer.get(), format.c_str()), 1023);
    EXPECT_EQ(buffer[1023], 0);
}

TEST(WideFormatBuffer, EmptyOutputWritesTheNul) {
    WCHAR buffer[4] = {u'a', u'b', u'c', u'd'};
    EXPECT_EQ(wsprintfW(buffer, u""), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], u'b');
}

}  // namespace
