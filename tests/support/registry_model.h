// The settings file's text model as the registry tests build and read it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/common/utf16.h"
#include "platform/host/advapi32/registry_text.h"

using qoz::Utf16leBytes;

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
