#include "platform/win32/call_recording.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/common/wide_format.h"

namespace {

qoz::CallRecord record;

// Where the record goes; empty when nothing is recorded.
const std::string& RecordPath() {
    static const std::string path = [] {
        const char* named = std::getenv("QOZCAL_CALL_RECORD");
        return std::string(named != nullptr ? named : "");
    }();
    return path;
}

}  // namespace

qoz::CallArgument Text(const wchar_t* text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return qoz::Text(reinterpret_cast<const char16_t*>(text));
}

void RecordCall(std::string_view name, std::initializer_list<qoz::CallArgument> arguments,
                const void* result) {
    if (!RecordPath().empty()) record.Call(name, arguments, result);
}

void RecordMessageTraffic(std::string_view name, std::initializer_list<qoz::CallArgument> arguments) {
    if (!RecordPath().empty()) record.Traffic(name, arguments);
}

void RecordFormatted(std::string_view name, const wchar_t* format, va_list args) {
    if (RecordPath().empty()) return;
    std::wstring text;
    qoz::AppendFormatted(text, format, args);
    record.Call(name, {Text(text.c_str())});
}

void FinishCallRecord() {
    if (RecordPath().empty()) return;
    if (std::FILE* file = std::fopen(RecordPath().c_str(), "wb")) {
        std::string text = record.Text();
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}
