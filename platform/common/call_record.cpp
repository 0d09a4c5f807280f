#include "platform/common/call_record.h"

#include <cstdio>
#include <cstring>

#include "platform/common/utf16.h"

namespace qoz {

namespace {

CallArgument Written(std::string text) { return {CallArgument::Kind::Written, std::move(text), 0}; }

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            quoted += escaped;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + '"';
}

int32_t At(const void* numbers, int index) {
    int32_t value;
    std::memcpy(&value, static_cast<const char*>(numbers) + 4 * index, 4);
    return value;
}

}  // namespace

CallArgument Number(long long value) { return Written(std::to_string(value)); }

CallArgument Hex(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", value);
    return Written(text);
}

CallArgument Handle(const void* handle) {
    return {CallArgument::Kind::Handle, {}, reinterpret_cast<uintptr_t>(handle)};
}

CallArgument Pointer(const void* pointer) { return Written(pointer ? "ptr" : "0"); }

CallArgument Literal(std::string_view text) { return Written(std::string(text)); }

CallArgument Text(const char16_t* text) { return Written(text ? Quoted(Utf16ToUtf8(text)) : "0"); }

CallArgument TextBytes(const void* data, uint32_t size) {
    if (data == nullptr) return Written("0");
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);
    return Written(Quoted(Utf16ToUtf8(text)));
}

CallArgument Points(const void* points, int count) {
    if (points == nullptr) return Written("0");
    std::string text = count > 0 ? "" : "()";
    for (int i = 0; i < count; ++i) {
        char point[32];
        std::snprintf(point, sizeof point, "(%d,%d)", At(points, 2 * i), At(points, 2 * i + 1));
        text += point;
    }
    return Written(text);
}

CallArgument Rectangle(const void* rect) {
    if (rect == nullptr) return Written("0");
    char text[64];
    std::snprintf(text, sizeof text, "(%d,%d,%d,%d)", At(rect, 0), At(rect, 1), At(rect, 2),
                  At(rect, 3));
    return Written(text);
}

std::string CallRecord::Name(uintptr_t handle, bool mayName) {
    if (handle == 0) return "0";
    auto found = names_.find(handle);
    if (found != names_.end()) return found->second;
    if (!mayName) return "h?";
    char fresh[16];
    std::snprintf(fresh, sizeof fresh, "h%d", ++named_);
    return names_[handle] = fresh;
}

std::string CallRecord::Line(std::string_view name, std::initializer_list<CallArgument> arguments,
                             bool mayName) {
    std::string line(name);
    for (const CallArgument& argument : arguments) {
        line += ' ';
        line += argument.kind == CallArgument::Kind::Handle ? Name(argument.handle, mayName)
                                                            : argument.text;
    }
    return line;
}

void CallRecord::Call(std::string_view name, std::initializer_list<CallArgument> arguments,
                      const void* result) {
    std::string line = Line(name, arguments, true);
    if (result != nullptr) {
        uintptr_t handle = reinterpret_cast<uintptr_t>(result);
        names_.erase(handle);
        line += " -> ";
        line += Name(handle, true);
    }
    calls_.push_back(std::move(line));
}

void CallRecord::Traffic(std::string_view name, std::initializer_list<CallArgument> arguments) {
    traffic_.insert(Line(name, arguments, false));
}

std::string CallRecord::Text() const {
    std::string text;
    for (const std::string& line : calls_) text.append(line).append("\n");
    text += "-- message traffic\n";
    for (const std::string& line : traffic_) text.append(line).append("\n");
    return text;
}

void CallRecord::Clear() { *this = CallRecord(); }

}  // namespace qoz
