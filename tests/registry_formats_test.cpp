// Settings files as regedit writes and reads them: each encoding, header and
// line end read and written back as it was, comments kept, and the removal
// lines read the way regedit's import reads them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/advapi32/registry_text.h"
#include "tests/support/registry_model.h"

using namespace qoz::host;

namespace {

const std::string kSection = "[HKEY_CURRENT_USER\\Software\\QozSerial]\n";

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// UTF-16LE with a byte-order mark, as regedit exports; text is UTF-8.
std::string Utf16leFile(const std::u16string& text) {
    return "\xFF\xFE" + Utf16leBytes<std::string>(text);
}

std::u16string Text(const RegistryValue* value) {
    if (!value) return u"(missing)";
    std::u16string text;
    for (size_t i = 0; i + 1 < value->data.size(); i += 2) text += qoz::Utf16leUnit(value->data, i);
    return text;
}

// What a calibration does to the file: one value changed, one added, and
// a new key.
std::string Calibrate(Registry& registry) {
    size_t key =
        AddKey(registry, *SplitKeyPath(u"HKEY_CURRENT_USER\\Software\\QozSerial"), nullptr);
    SetValue(registry, key, u"scalex", 1, Utf16leBytes(u"1.12940"));
    SetValue(registry, key, u"OffsetX", 1, Utf16leBytes(u"-42.16471"));
    AddKey(registry, *SplitKeyPath(u"HKEY_CURRENT_USER\\Software\\New"), nullptr);
    std::string text = FormatRegistry(registry);
    std::optional<std::string> difference = ReadBackDifference(registry, text);
    EXPECT_FALSE(difference) << *difference;
    return text;
}

}  // namespace

// ---- Encodings, headers and line ends ----------------------------------------------

TEST(RegistryFormats, EachFormatIsReadAndWrittenBackAsItCame) {
    const std::string before = kSection + "; kept\n\"ScaleX\"=\"1\"\n\"Name\"=\"Café\"\n\n";
    const std::string after = kSection +
                              "; kept\n\"ScaleX\"=\"1.12940\"\n\"Name\"=\"Café\"\n"
                              "\"OffsetX\"=\"-42.16471\"\n\n[HKEY_CURRENT_USER\\Software\\New]\n\n";
    std::string ansiBefore = "REGEDIT4\n\n" + before;
    std::string ansiAfter = "REGEDIT4\n\n" + after;
    ansiBefore.replace(ansiBefore.find("Café"), 5, "Caf\xE9");
    ansiAfter.replace(ansiAfter.find("Café"), 5, "Caf\xE9");
    const std::u16string wideHeader = u"Windows Registry Editor Version 5.00\r\n\r\n";
    const std::u16string wideBefore =
        u"[HKEY_CURRENT_USER\\Software\\QozSerial]\r\n; kept\r\n"
        u"\"ScaleX\"=\"1\"\r\n\"Name\"=\"Café\"\r\n\r\n";
    const std::u16string wideAfter =
        u"[HKEY_CURRENT_USER\\Software\\QozSerial]\r\n; kept\r\n\"ScaleX\"=\"1.12940\"\r\n"
        u"\"Name\"=\"Café\"\r\n\"OffsetX\"=\"-42.16471\"\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\New]\r\n\r\n";
    struct Case {
        const char* what;
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        {"UTF-8, LF", kHeader + before, kHeader + after},
        {"UTF-8, CR LF", Crlf(kHeader + before), Crlf(kHeader + after)},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + Crlf(kHeader + before),
         "\xEF\xBB\xBF" + Crlf(kHeader + after)},
        {"UTF-16LE, CR LF, as regedit exports", Utf16leFile(wideHeader + wideBefore),
         Utf16leFile(wideHeader + wideAfter)},
        {"REGEDIT4, Windows-1252, CR LF", Crlf(ansiBefore), Crlf(ansiAfter)},
        {"REGEDIT4, LF", ansiBefore, ansiAfter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Registry registry = MustParse(c.before);
        EXPECT_EQ(FormatRegistry(registry), c.before) << "unchanged, it is written back as read";
        EXPECT_EQ(Text(Lookup(registry, u"HKEY_CURRENT_USER\\Software\\QozSerial", u"name")),
                  u"Café");
        EXPECT_EQ(Calibrate(registry), c.after);
    }
}

TEST(RegistryFormats, Regedit4HoldsAnsiTextAndWidensItsStringsAsRegeditDoes) {
    Registry registry = MustParse(
        "REGEDIT4\r\n\r\n[K\\\x80]\r\n\"\x81\"=\"\x9F\"\r\n\"path\"=hex(2):25,41,25,00\r\n"
        "\"list\"=hex(7):61,00,00\r\n\"raw\"=hex(1):31,00\r\n\"bin\"=hex:31,00\r\n");
    EXPECT_EQ(Text(Lookup(registry, u"K\\€", u"\u0081")), u"Ÿ");
    EXPECT_EQ(Lookup(registry, u"K\\€", u"path")->data, Utf16leBytes(std::u16string(u"%A%\0", 4)));
    EXPECT_EQ(Lookup(registry, u"K\\€", u"list")->data, Utf16leBytes(std::u16string(u"a\0\0", 3)));
    EXPECT_EQ(Lookup(registry, u"K\\€", u"raw")->data, Utf16leBytes(std::u16string(u"1\0", 2)));
    EXPECT_EQ(Lookup(registry, u"K\\€", u"bin")->data, (std::vector<uint8_t>{0x31, 0}));

    size_t key = *FindKey(registry, *SplitKeyPath(u"K\\€"));
    SetValue(registry, key, u"path", 2, Utf16leBytes(std::u16string(u"%B%\0", 4)));
    SetValue(registry, key, u"text", 1, Utf16leBytes(std::u16string(u"é\0", 2)));
    std::string text = FormatRegistry(registry);
    EXPECT_NE(text.find("\"path\"=hex(2):25,42,25,00\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"text\"=hex(1):e9,00\r\n"), std::string::npos) << text;
    EXPECT_FALSE(ReadBackDifference(registry, text));

    // Text or a name Windows-1252 lacks cannot be written at all.
    for (std::u16string_view name : {u"펜", u"hangul"}) {
        Registry changed = registry;
        SetValue(changed, key, name, 1, Utf16leBytes(name == u"펜" ? u"1" : u"펜"));
        EXPECT_EQ(ReadBackDifference(changed, FormatRegistry(changed)),
                  "the value \"" + std::string(name == u"펜" ? "펜" : "hangul") +
                      "\" of K\\€ would not read back the same (a REGEDIT4 file holds "
                      "Windows-1252 text only)");
    }
}

TEST(RegistryFormats, NewLinesFollowTheFileWhateverItsEnd) {
    struct Case {
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        // The last line has no line end: it gets one first.
        {kHeader + kSection + "\"ScaleX\"=\"1\"",
         kHeader + kSection + "\"ScaleX\"=\"1.12940\"\n\"OffsetX\"=\"-42.16471\"\n\n" +
             "[HKEY_CURRENT_USER\\Software\\New]\n\n"},
        {Crlf(kHeader + kSection) + "\"ScaleX\"=\"1\"\r",
         Crlf(kHeader + kSection + "\"ScaleX\"=\"1.12940\"\n\"OffsetX\"=\"-42.16471\"\n\n" +
              "[HKEY_CURRENT_USER\\Software\\New]\n\n")},
        {"Windows Registry Editor Version 5.00",
         "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER]\n\n"
         "[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\New]\n\n" +
             kSection + "\"scalex\"=\"1.12940\"\n\"OffsetX\"=\"-42.16471\"\n\n"},
        // Values join the key's last section, behind its last value.
        {Crlf(kHeader + kSection +
              "\"ScaleX\"=\"1\"\n\n[HKEY_CURRENT_USER\\software\\qozserial]\n"
              "\"Other\"=\"2\"\n; the end\n"),
         Crlf(kHeader + kSection +
              "\"ScaleX\"=\"1.12940\"\n\n[HKEY_CURRENT_USER\\software\\qozserial]\n"
              "\"Other\"=\"2\"\n\"OffsetX\"=\"-42.16471\"\n; the end\n\n"
              "[HKEY_CURRENT_USER\\Software\\New]\n\n")},
        // A value continued over lines is rewritten as one line.
        {kHeader + kSection + "\"ScaleX\"=hex(1):31,\\\n  00\n",
         kHeader + kSection + "\"ScaleX\"=\"1.12940\"\n\"OffsetX\"=\"-42.16471\"\n\n" +
             "[HKEY_CURRENT_USER\\Software\\New]\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        Registry registry = MustParse(c.before);
        EXPECT_EQ(Calibrate(registry), c.after);
    }
}

// ---- Removal lines ----------------------------------------------------------------

TEST(RegistryFormats, RemovalsLeaveTheKeyOrValueAbsentAsRegeditsImportDoes) {
    Registry registry = MustParse(kHeader +
                                  "[A\\Old\\Deep]\n\"v\"=\"1\"\n"
                                  "[A\\Keep]\n\"a\"=\"1\"\n\"b\"=\"2\"\n@=\"3\"\n"
                                  "[-A\\OLD]\n\"lost\"=\"belongs to no key\"\n"
                                  "[a\\keep]\n\"A\"=-\n@=-\n\"never\"=-\n\"b\"=-\n\"b\"=hex:01\n"
                                  "[-A\\Missing]\n"
                                  "[A\\Again]\n[-A\\Again]\n[A\\Again]\n");
    EXPECT_FALSE(FindKey(registry, *SplitKeyPath(u"A\\Old")));
    EXPECT_FALSE(FindKey(registry, *SplitKeyPath(u"A\\Old\\Deep")));
    EXPECT_FALSE(Lookup(registry, u"A\\Keep", u"a"));
    EXPECT_FALSE(Lookup(registry, u"A\\Keep", u""));
    EXPECT_EQ(Lookup(registry, u"A\\Keep", u"b")->type, 3u);
    size_t again = *FindKey(registry, *SplitKeyPath(u"A\\Again"));
    EXPECT_TRUE(registry.keys[again].values.empty());
    EXPECT_EQ(registry.keys[*FindKey(registry, *SplitKeyPath(u"A"))].children.size(), 2u);
}

TEST(RegistryFormats, WritingKeepsTheRemovalLinesReadAndAddsNone) {
    // The case of a device image's file: an old key removed before the
    // settings, and a value removed.
    const std::string before = kHeader + "[-HKEY_CURRENT_USER\\Software\\Old]\n\n" + kSection +
                               "\"ScaleX\"=\"1\"\n\"OffsetX\"=-\n\n"
                               "[-HKEY_CURRENT_USER\\Software\\Gone]\n";
    Registry registry = MustParse(before);
    EXPECT_EQ(Calibrate(registry), kHeader + "[-HKEY_CURRENT_USER\\Software\\Old]\n\n" + kSection +
                                       "\"ScaleX\"=\"1.12940\"\n\"OffsetX\"=-\n"
                                       "\"OffsetX\"=\"-42.16471\"\n\n"
                                       "[-HKEY_CURRENT_USER\\Software\\Gone]\n\n"
                                       "[HKEY_CURRENT_USER\\Software\\New]\n\n");

    // A key removed after its last section is written anew at the end, where
    // no earlier line can remove it again.
    registry = MustParse(kHeader + kSection + "\"ScaleX\"=\"1\"\n\n[-" + kSection.substr(1));
    EXPECT_EQ(Calibrate(registry), kHeader + kSection + "\"ScaleX\"=\"1\"\n\n[-" +
                                       kSection.substr(1) + "\n" +
                                       "[HKEY_CURRENT_USER\\Software\\New]\n\n" + kSection +
                                       "\"scalex\"=\"1.12940\"\n\"OffsetX\"=\"-42.16471\"\n\n");
}

// ---- What cannot be read ------------------------------------------------------------

std::vector<ParseErrorCase> FormatErrors() {
    const std::u16string lone(1, char16_t(0xD800));
    return {
        {Utf16leFile(u"Windows Registry Editor Version 5.00\r\n") + "x", 2,
         "an odd number of bytes in UTF-16 text"},
        {Utf16leFile(u"REGEDIT4\r\n"), 1,
         "incorrect header (a REGEDIT4 file is ANSI text, without a byte-order mark)"},
        {"\xEF\xBB\xBFREGEDIT4\n", 1,
         "incorrect header (a REGEDIT4 file is ANSI text, without a byte-order mark)"},
        {Utf16leFile(u"Windows Registry Editor Version 5.00\r\n[K\\" + lone + u"]\r\n"), 2,
         "bad section line (unpaired surrogate in key name)"},
        {Utf16leFile(u"Windows Registry Editor Version 5.00\r\n[K]\r\n\"" + lone + u"\"=\"\"\r\n"),
         3, "unpaired surrogate in quoted name"},
        {kHeader + "[-HKEY_CURRENT_USER]\n", 3, "bad section line (a root key cannot be removed)"},
        {kHeader + "[-]\n", 3, "bad section line (no key path)"},
        {kHeader + "[--x]\n", 3, "bad section line (a root key name cannot start with -)"},
        {kHeader + "[K]\n\"a\"=\"1\"\n\"a\"=-\n\"a\"=\"2\"\n\"A\"=\"3\"\n", 7,
         "the value name \"A\" appears twice in the key"},
    };
}
INSTANTIATE_TEST_SUITE_P(Rows, ParseErrors, ::testing::ValuesIn(FormatErrors()));
