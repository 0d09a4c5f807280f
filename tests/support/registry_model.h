// The settings file's text model as the registry tests build and read it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/common/utf16.h"
#include "platform/host/advapi32/registry_text.h"

using qoz::Utf16leBytes;

inline const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

// The registry a text parses into; the test fails if the text has an error.
inline qoz::host::Registry MustParse(const std::string& text) {
    qoz::host::ParseResult parsed = qoz::host::ParseRegistry(text);
    EXPECT_FALSE(parsed.error) << "line " << parsed.error->line << ": " << parsed.error->reason;
    return std::move(parsed.registry);
}

// A value by its key's path and its name; null when either is missing.
inline const qoz::host::RegistryValue* Lookup(const qoz::host::Registry& registry,
                                              std::u16string_view path, std::u16string_view name) {
    std::optional<size_t> key = FindKey(registry, *qoz::host::SplitKeyPath(path));
    return key ? FindValue(registry, *key, name) : nullptr;
}

// A text the parser refuses: the line it names, and why. Each binary that
// includes this lists its texts with
// INSTANTIATE_TEST_SUITE_P(Rows, ParseErrors, ::testing::ValuesIn(...)).
struct ParseErrorCase {
    std::string text;
    size_t line;
    std::string reason;
};
inline void PrintTo(const ParseErrorCase& c, std::ostream* out) {
    *out << "line " << c.line << " of " << ::testing::PrintToString(c.text.substr(0, 120));
}

class ParseErrors : public ::testing::TestWithParam<ParseErrorCase> {};

TEST_P(ParseErrors, NameTheLineAndWhatIsWrong) {
    qoz::host::ParseResult parsed = qoz::host::ParseRegistry(GetParam().text);
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, GetParam().line);
    EXPECT_EQ(parsed.error->reason, GetParam().reason);
}
