#include "platform/host/kernel32/event_name.h"

#include <limits.h>
#include <stdlib.h>

#include "platform/common/utf16.h"

namespace qoz::host {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

void AppendEscape(std::string& out, unsigned value, int digits) {
    out += '%';
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kHexDigits[(value >> shift) & 0xF];
}

bool IsPlainAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// Every UTF-16 unit maps to text without '/', '.' or NUL, and different
// names to different texts: '%' starts an escape, and surrogates, which
// UTF-8 cannot carry one by one, are escaped too.
void AppendEventName(std::string& out, std::u16string_view name) {
    for (char16_t c : name) {
        bool escaped =
            c < 0x20 || c == 0x7F || c == u'/' || c == u'.' || c == u'%' || IsSurrogate(c);
        if (escaped) {
            AppendEscape(out, c, 4);
        } else {
            AppendUtf8(out, c);
        }
    }
}

void AppendNamespace(std::string& out, const char* space) {
    for (; space != nullptr && *space != 0; ++space) {
        unsigned char c = static_cast<unsigned char>(*space);
        if (IsPlainAscii(c)) {
            out += static_cast<char>(c);
        } else {
            AppendEscape(out, c, 2);
        }
    }
}

}  // namespace

std::string Label(std::u16string_view name) {
    std::string label = Utf16ToUtf8(name);
    for (char& c : label) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return label;
}

std::optional<std::string> EventObjectName(std::u16string_view name) {
    if (name.size() > kLongestEventName) return std::nullopt;
    std::string object = kEventFilePrefix;
    AppendNamespace(object, getenv("QOZCAL_EVENT_NAMESPACE"));
    object += '.';
    AppendEventName(object, name);
    if (object.size() > NAME_MAX) return std::nullopt;
    return object;
}

}  // namespace qoz::host
