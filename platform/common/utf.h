// Conversions between the program's UTF-16 text and UTF-8 at the host's
// edges (files, terminal, fonts).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qoz::host {

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Empty when the bytes are not well-formed UTF-8 (overlong forms, surrogates
// and code points above U+10FFFF are rejected).
std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes);

}  // namespace qoz::host
