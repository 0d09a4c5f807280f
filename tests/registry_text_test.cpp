#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/common/utf16.h"
#include "platform/host/advapi32/registry_text.h"
#include "platform/host/posix/case_fold.h"
#include "tests/support/registry_model.h"

using namespace qoz::host;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> bytes;
    for (int b : list) bytes.push_back(static_cast<uint8_t>(b));
    return bytes;
}

std::vector<std::u16string> Path(std::u16string_view path) { return *SplitKeyPath(path); }

}  // namespace

// ---- Round trips -------------------------------------------------------------

TEST(RegistryText, TheSettingsFileReadsAndWritesBackUnchanged) {
    const std::string text = kHeader +
                             "[HKEY_CURRENT_USER]\n\n"
                             "[HKEY_CURRENT_USER\\Software]\n\n"
                             "[HKEY_CURRENT_USER\\Software\\QozSerial]\n"
                             "\"ScaleX\"=\"1.12940\"\n"
                             "\"Flags\"=dword:0000002a\n"
                             "\"Raw\"=hex(1):31,00,00,00\n"
                             "@=\"default\"\n\n";
    Registry registry = MustParse(text);
    EXPECT_EQ(FormatRegistry(registry), text);

    const RegistryValue* scale =
        Lookup(registry, u"HKEY_CURRENT_USER\\Software\\QozSerial", u"ScaleX");
    ASSERT_TRUE(scale);
    EXPECT_EQ(scale->type, 1u);
    EXPECT_EQ(scale->data, Utf16leBytes(u"1.12940"));
    const RegistryValue* flags =
        Lookup(registry, u"HKEY_CURRENT_USER\\Software\\QozSerial", u"Flags");
    ASSERT_TRUE(flags);
    EXPECT_EQ(flags->type, 4u);
    EXPECT_EQ(flags->data, Bytes({0x2a, 0, 0, 0}));
    const RegistryValue* raw = Lookup(registry, u"HKEY_CURRENT_USER\\Software\\QozSerial", u"Raw");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, 1u);
    EXPECT_EQ(raw->data, Bytes({0x31, 0, 0, 0}));
    EXPECT_TRUE(Lookup(registry, u"HKEY_CURRENT_USER\\Software\\QozSerial", u""));
}

TEST(RegistryText, StringDataIsTheCharactersWithoutATerminatingNul) {
    Registry registry = MustParse(
        kHeader + "[K]\n\"OffsetX\"=\"-42.16471\"\n\"Empty\"=\"\"\n\"Name\"=\"펜입력\"\n");
    EXPECT_EQ(Lookup(registry, u"K", u"OffsetX")->data.size(), 18u);
    EXPECT_EQ(Lookup(registry, u"K", u"Empty")->data.size(), 0u);
    EXPECT_EQ(Lookup(registry, u"K", u"Name")->data, Utf16leBytes(u"펜입력"));
}

TEST(RegistryText, EveryKeyGetsASectionParentsFirstSortedByFoldedName) {
    Registry registry;
    for (std::u16string_view path : {u"Root\\b\\x", u"Root\\A", u"root\\B\\w", u"Other"})
        AddKey(registry, Path(path), nullptr);
    EXPECT_EQ(FormatRegistry(registry), kHeader +
                                            "[Other]\n\n"
                                            "[Root]\n\n"
                                            "[Root\\A]\n\n"
                                            "[Root\\b]\n\n"
                                            "[Root\\b\\w]\n\n"
                                            "[Root\\b\\x]\n\n");
}

TEST(RegistryText, RepeatedSectionsMergeKeepingValueOrder) {
    const std::string text = kHeader + "[K]\n\"b\"=\"1\"\n[L]\n[k]\n\"a\"=\"2\"\n";
    Registry registry = MustParse(text);
    size_t key = *FindKey(registry, Path(u"k"));
    EXPECT_EQ(registry.keys[key].name, u"K");
    ASSERT_EQ(registry.keys[key].values.size(), 2u);
    EXPECT_EQ(registry.keys[key].values[0].name, u"b");
    EXPECT_EQ(registry.keys[key].values[1].name, u"a");
    EXPECT_EQ(FormatRegistry(registry), text);
}

TEST(RegistryText, QuotesAndBackslashesAreEscapedBothWays) {
    Registry registry;
    size_t key = AddKey(registry, Path(u"K"), nullptr);
    SetValue(registry, key, u"a\\b\"c", 1, Utf16leBytes(u"C:\\dir\\\"x\""));
    std::string text = FormatRegistry(registry);
    EXPECT_EQ(text, kHeader + "[K]\n\"a\\\\b\\\"c\"=\"C:\\\\dir\\\\\\\"x\\\"\"\n\n");
    Registry readBack = MustParse(text);
    EXPECT_EQ(Lookup(readBack, u"K", u"a\\b\"c")->data, Utf16leBytes(u"C:\\dir\\\"x\""));
}

TEST(RegistryText, OnlyCleanTextIsWrittenAsAString) {
    struct Case {
        uint32_t type;
        std::vector<uint8_t> data;
        const char* line;
    };
    const Case cases[] = {
        {1, Utf16leBytes(u"1.5"), "\"v\"=\"1.5\""},
        {1, Bytes({0x31, 0x00, 0x32}), "\"v\"=hex(1):31,00,32"},                   // odd size
        {1, Utf16leBytes(std::u16string(u"a\0", 2)), "\"v\"=hex(1):61,00,00,00"},  // NUL
        {1, Utf16leBytes(u"a\tb"), "\"v\"=hex(1):61,00,09,00,62,00"},              // control
        {1, Utf16leBytes(u"\x7f"), "\"v\"=hex(1):7f,00"},                          // DEL
        {1, Utf16leBytes(std::u16string(1, char16_t(0xD800))),
         "\"v\"=hex(1):00,d8"},                                          // lone surrogate
        {1, Utf16leBytes(u"\U0001F58A"), "\"v\"=\"\xF0\x9F\x96\x8A\""},  // paired surrogates
        {2, Utf16leBytes(u"x"), "\"v\"=hex(2):78,00"},
        {4, Bytes({0x78, 0x56, 0x34, 0x12}), "\"v\"=dword:12345678"},
        {4, Bytes({1, 2, 3}), "\"v\"=hex(4):01,02,03"},
        {3, Bytes({0xAB, 0xCD}), "\"v\"=hex(3):ab,cd"},
        {0, {}, "\"v\"=hex(0):"},
        {0x20000, Bytes({0xFF}), "\"v\"=hex(20000):ff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Registry registry;
        SetValue(registry, AddKey(registry, Path(u"K"), nullptr), u"v", c.type, c.data);
        std::string text = FormatRegistry(registry);
        EXPECT_EQ(text, kHeader + "[K]\n" + c.line + "\n\n");
        Registry readBack = MustParse(text);
        const RegistryValue* back = Lookup(readBack, u"K", u"v");
        ASSERT_TRUE(back);
        EXPECT_EQ(back->type, c.type);
        EXPECT_EQ(back->data, c.data);
    }
}

TEST(RegistryText, ReaderAcceptsTheUsualVariants) {
    const std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "  ; an indented comment\r\n"
        "[K]   \r\n"
        "\"bin\"=hex:de,AD\r\n"
        "@ = \"default\"\r\n"
        "\"short\"=DWORD:2a\r\n"
        "\"long\"=hex(7):61,00,\\\r\n"
        "  00,00,\\\r\n"
        "  00,00\r\n"
        "\"empty\"=hex:\r\n";
    Registry registry = MustParse(text);
    EXPECT_EQ(Lookup(registry, u"K", u"bin")->type, 3u);
    EXPECT_EQ(Lookup(registry, u"K", u"bin")->data, Bytes({0xde, 0xad}));
    EXPECT_EQ(Lookup(registry, u"K", u"")->data, Utf16leBytes(u"default"));
    EXPECT_EQ(Lookup(registry, u"K", u"short")->data, Bytes({0x2a, 0, 0, 0}));
    EXPECT_EQ(Lookup(registry, u"K", u"long")->type, 7u);
    EXPECT_EQ(Lookup(registry, u"K", u"long")->data, Bytes({0x61, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(Lookup(registry, u"K", u"empty")->data.empty());
}

TEST(RegistryText, EmptyInputsAreEmptyRegistries) {
    EXPECT_EQ(FormatRegistry(MustParse("")), kHeader);
    Registry headerOnly = MustParse("Windows Registry Editor Version 5.00");
    EXPECT_EQ(headerOnly.keys.size(), 1u);
    EXPECT_EQ(FormatRegistry(headerOnly), "Windows Registry Editor Version 5.00");
}

// ---- Case folding -------------------------------------------------------------

// Names match as Windows compares them: each UTF-16 unit upper-cased on its
// own, whatever the locale.
struct NamePair {
    const char16_t* a;
    const char16_t* b;
    bool match;
};

const NamePair kNamePairs[] = {
    {u"ScaleX", u"SCALEX", true},
    {u"a", u"b", false},
    {u"Ключ", u"КЛЮЧ", true},
    {u"ΣΑΣ", u"σας", true},                    // final sigma too
    {u"ǆ", u"ǅ", true},                        // a title-case digraph
    {u"펜입력", u"펜입녁", false},             // Hangul has no case
    {u"\u212A", u"k", false},                 // Kelvin sign: its own upper case
    {u"\u2126", u"ω", false},                 // Ohm sign
    {u"\U00010400", u"\U00010428", false},   // Deseret: surrogates stay as they are
    {u"\U00010428", u"\U00010428", true},
};

TEST(RegistryText, NamesFoldAsWindowsUpperCasesEachUnit) {
    for (const NamePair& pair : kNamePairs) {
        SCOPED_TRACE(qoz::Utf16ToUtf8(pair.a) + " / " + qoz::Utf16ToUtf8(pair.b));
        EXPECT_EQ(FoldCase(pair.a) == FoldCase(pair.b), pair.match);
    }
}

TEST(RegistryText, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    Registry registry = MustParse(
        kHeader + "[HKEY_CURRENT_USER\\Software\\QozSerial]\n\"ScaleX\"=\"1\"\n\"Y\"=\"2\"\n");
    bool created = true;
    size_t key = AddKey(registry, Path(u"hkey_current_user\\SOFTWARE\\qozserial"), &created);
    EXPECT_FALSE(created);
    SetValue(registry, key, u"SCALEX", 1, Utf16leBytes(u"1.12940"));
    EXPECT_EQ(FormatRegistry(registry), kHeader +
                                            "[HKEY_CURRENT_USER\\Software\\QozSerial]\n"
                                            "\"ScaleX\"=\"1.12940\"\n"
                                            "\"Y\"=\"2\"\n");

    AddKey(registry, Path(u"HKEY_CURRENT_USER\\SOFTWARE\\Новый"), &created);
    EXPECT_TRUE(created);
    EXPECT_TRUE(FindKey(registry, Path(u"HKEY_CURRENT_USER\\software\\НОВЫЙ")));
}

// ---- Errors ---------------------------------------------------------------------

std::vector<ParseErrorCase> TextErrors() {
    const std::string big(300, 'x');
    std::string deep = "[A";
    for (int i = 0; i < 512; ++i) deep += "\\b";
    return {
        {"\xEF\xBB\xBF", 1, "missing header"},
        {"\n", 1, "missing header"},
        {"[HKEY_CURRENT_USER]\n", 1, "missing header"},
        {"REGEDIT5\n", 1, "incorrect header"},
        {"Windows Registry Editor Version 5.0\n", 1, "incorrect header"},
        {kHeader + "\"a\"=\"b\"\n", 3, "text before the first section"},
        {kHeader + "[K\n", 3, "bad section line (no closing bracket at its end)"},
        {kHeader + "[K] x\n", 3, "bad section line (no closing bracket at its end)"},
        {kHeader + "[]\n", 3, "bad section line (no key path)"},
        {kHeader + "[K\\\\L]\n", 3, "bad section line (empty key name)"},
        {kHeader + "[K\\]\n", 3, "bad section line (empty key name)"},
        {kHeader + "[K\\" + big + "]\n", 3,
         "bad section line (key name longer than 255 characters)"},
        {kHeader + "[K\\a\x01]\n", 3, "bad section line (control character in key name)"},
        {kHeader + deep + "]\n", 3, "bad section line (key path deeper than 512 levels)"},
        {kHeader + "[K]\n\"a=\"b\"\n", 4, "bad value line (no = after the name)"},
        {kHeader + "[K]\n\"a=1\n", 4, "unterminated quoted name"},
        {kHeader + "[K]\n\"a\\\"=1\n", 4, "unterminated quoted name"},
        {kHeader + "[K]\n\"a\\n\"=\"b\"\n", 4, "bad escape in quoted name"},
        {kHeader + "[K]\n\"a\tb\"=\"b\"\n", 4, "control character in quoted name"},
        {kHeader + "[K]\n\"a\"=\"b\n", 4, "unterminated string"},
        {kHeader + "[K]\n\"a\"=\"b\\q\"\n", 4, "bad escape in string"},
        {kHeader + "[K]\n\"a\"=\"b\tc\"\n", 4, "control character in string"},
        {kHeader + "[K]\n\"a\"=\"b\" \"c\"\n", 4, "text after the string"},
        {kHeader + "[K]\na=\"b\"\n", 4, "bad value line (it must start with \"name\"= or @=)"},
        {kHeader + "[K]\n\"a\"\n", 4, "bad value line (no = after the name)"},
        {kHeader + "[K]\n\"a\"=\n", 4, "missing value data"},
        {kHeader + "[K]\n\"a\"=str:\"b\"\n", 4, "unknown value type"},
        {kHeader + "[K]\n\"a\"=-1\n", 4, "unknown value type"},
        {kHeader + "[K]\n\"a\"=hex:1\n", 4, "bad hex data (odd number of digits)"},
        {kHeader + "[K]\n\"a\"=hex:31,0\n", 4, "bad hex data (odd number of digits)"},
        {kHeader + "[K]\n\"a\"=hex:3g\n", 4, "bad hex data (not a hex digit)"},
        {kHeader + "[K]\n\"a\"=hex:3100\n", 4, "bad hex data (two digits per byte)"},
        {kHeader + "[K]\n\"a\"=hex:31,\n", 4, "bad hex data (missing byte)"},
        {kHeader + "[K]\n\"a\"=hex:31\\\n", 4,
         "bad hex data (a comma must come before the continuation)"},
        {kHeader + "[K]\n\"a\"=hex:31,\\\n32,,33\n", 5, "bad hex data (missing byte)"},
        {kHeader + "[K]\n\"a\"=hex:31,\\\n", 4,
         "unterminated hex data (the last line ends with a continuation)"},
        {kHeader + "[K]\n\"a\"=hex(g):00\n", 4, "bad value type in hex(...)"},
        {kHeader + "[K]\n\"a\"=hex(1)00\n", 4, "bad value type in hex(...)"},
        {kHeader + "[K]\n\"a\"=hex(123456789):00\n", 4, "bad value type in hex(...)"},
        {kHeader + "[K]\n\"a\"=hex(1:00\n", 4, "bad value type in hex(...)"},
        {kHeader + "[K]\n\"a\"=dword:\n", 4, "bad dword"},
        {kHeader + "[K]\n\"a\"=dword:123456789\n", 4, "bad dword"},
        {kHeader + "[K]\n\"a\"=dword:-1\n", 4, "bad dword"},
        {kHeader + "[K]\n\"a\"=dword:12 34\n", 4, "bad dword"},
        {kHeader + "[K]\n\"ScaleX\"=\"1\"\n\"SCALEX\"=\"2\"\n", 5,
         "the value name \"SCALEX\" appears twice in the key"},
        {kHeader + "[K]\n\"a\"=\"1\"\n[L]\n[k]\n\"A\"=\"2\"\n", 7,
         "the value name \"A\" appears twice in the key"},
        {kHeader + "[K]\n@=\"1\"\n\"\"=\"2\"\n", 5, "the value name @ appears twice in the key"},
        {kHeader + "[K]\n\"" + std::string(16384, 'n') + "\"=\"1\"\n", 4,
         "value name longer than 16383 characters"},
        {kHeader + "[K]\n\"a\"=\"\xFF\"\n", 4, "invalid UTF-8"},
        {kHeader + "[K]\n\"a\"=\"\xC0\xAF\"\n", 4, "invalid UTF-8"},
    };
}
INSTANTIATE_TEST_SUITE_P(Rows, ParseErrors, ::testing::ValuesIn(TextErrors()));

TEST(RegistryText, HostileInputFailsCleanly) {
    const std::string longLine(10 * 1024 * 1024, 'a');
    ParseResult parsed = ParseRegistry(kHeader + "[K]\n" + longLine + "\n");
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 4u);

    std::string deep = kHeader + "[K";
    for (int i = 0; i < 1024 * 1024; ++i) deep += "\\b";
    parsed = ParseRegistry(deep + "]\n");
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->reason, "bad section line (key path deeper than 512 levels)");

    std::string hex = kHeader + "[K]\n\"big\"=hex:00";
    for (int i = 0; i < 1024 * 1024; ++i) hex += ",7f";
    Registry registry = MustParse(hex + "\n");
    EXPECT_EQ(Lookup(registry, u"K", u"big")->data.size(), 1024u * 1024 + 1);

    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        std::string garbage = round % 2 ? kHeader : "";
        size_t length = random() % 4096;
        for (size_t i = 0; i < length; ++i) garbage += static_cast<char>(random() & 0xFF);
        ParseResult result = ParseRegistry(garbage);
        if (result.error) continue;
        std::string text = FormatRegistry(result.registry);
        ParseResult again = ParseRegistry(text);
        EXPECT_FALSE(again.error);
        EXPECT_EQ(FormatRegistry(again.registry), text);
    }
}

// ---- Property: whatever the model holds, writing and reading it back loses nothing.

TEST(RegistryText, RandomRegistriesSurviveAWriteAndARead) {
    std::mt19937 random(7);
    const std::u16string alphabet = u"aAbZ09 _-.\\\"'[]=@;펜ΣσÄä\U0001F58A";
    auto name = [&](size_t maxLength, bool allowBackslash) {
        std::u16string text;
        size_t length = 1 + random() % maxLength;
        while (text.size() < length) {
            size_t i = random() % alphabet.size();
            if (alphabet[i] >= 0xD800 && alphabet[i] <= 0xDBFF) {
                text += alphabet.substr(i, 2);
            } else if (alphabet[i] >= 0xDC00 && alphabet[i] <= 0xDFFF) {
                continue;
            } else if (alphabet[i] != u'\\' || allowBackslash) {
                text += alphabet[i];
            }
        }
        return text;
    };
    for (int round = 0; round < 50; ++round) {
        Registry registry;
        std::vector<std::vector<std::u16string>> paths;
        for (int k = 0; k < 8; ++k) {
            std::vector<std::u16string> path;
            if (!paths.empty() && random() % 2) path = paths[random() % paths.size()];
            std::u16string next = name(6, false);
            while (path.empty() && next[0] == u'-') next = name(6, false);  // a removal line
            path.push_back(next);
            paths.push_back(path);
            size_t key = AddKey(registry, path, nullptr);
            for (int v = 0; v < 4; ++v) {
                std::vector<uint8_t> data(random() % 12);
                for (uint8_t& b : data)
                    b = static_cast<uint8_t>(random() % 3 ? 0x20 + random() % 0x50 : random());
                uint32_t types[] = {0, 1, 1, 1, 2, 3, 4, 7, 0xFFFFFFFF};
                SetValue(registry, key, v == 0 ? u"" : name(8, true), types[random() % 9], data);
            }
        }
        std::string text = FormatRegistry(registry);
        ParseResult back = ParseRegistry(text);
        ASSERT_FALSE(back.error) << back.error->reason << " at line " << back.error->line << "\n"
                                 << text;
        EXPECT_EQ(FormatRegistry(back.registry), text);
        for (const std::vector<std::u16string>& path : paths) {
            size_t original = *FindKey(registry, path);
            std::optional<size_t> copy = FindKey(back.registry, path);
            ASSERT_TRUE(copy);
            for (const RegistryValue& value : registry.keys[original].values) {
                const RegistryValue* read = FindValue(back.registry, *copy, value.name);
                ASSERT_TRUE(read);
                EXPECT_EQ(read->name, value.name);
                EXPECT_EQ(read->type, value.type);
                EXPECT_EQ(read->data, value.data);
            }
        }
    }
}
