#include "platform/win32/call_recording.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Where the record goes; empty when none is kept.
const std::string& RecordPath() {
    static const std::string path = [] {
        const char* named = std::getenv("QOZCAL_CALL_RECORD");
        return std::string(named != nullptr ? named : "");
    }();
    return path;
}

}  // namespace

qoz::CallRecord* Recording() {
    static qoz::CallRecord record;
    return RecordPath().empty() ? nullptr : &record;
}

void FinishCallRecord() {
    qoz::CallRecord* record = Recording();
    if (record == nullptr) return;
    if (std::FILE* file = std::fopen(RecordPath().c_str(), "wb")) {
        std::string text = record->Text();
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}
