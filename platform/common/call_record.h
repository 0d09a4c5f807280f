// A record of the platform calls a program makes, with their arguments, as
// text that two platforms produce alike: the host's traced build and the
// coredll stand-in that runs the device's executable on desktop Windows.
// Handles are named by when the program first saw them (h1, h2, ...; a
// handle a call returns gets a new name), pointers only as null or not,
// text quoted as UTF-8.
//
// The calls the message loop and painting make (GetMessageW, DispatchMessageW,
// BeginPaint, ...) depend on how many messages a platform delivers, which
// differs between systems: they are kept apart, each distinct line once, and
// never name a handle for the first time.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qoz {

// One argument of a call as it is written; made by the functions below.
struct CallArgument {
    enum class Kind { Written, Handle };
    Kind kind = Kind::Written;
    std::string text;
    uintptr_t handle = 0;
};

CallArgument Number(long long value);
CallArgument Hex(unsigned long long value);
CallArgument Handle(const void* handle);
CallArgument Pointer(const void* pointer);
CallArgument Literal(std::string_view text);
CallArgument Text(const char16_t* text);
// A REG_SZ value's bytes, written as the UTF-16 text they hold.
CallArgument TextBytes(const void* data, uint32_t size);
// POINTs (two 32-bit numbers each), as (x,y) pairs.
CallArgument Points(const void* points, int count);
// A RECT (four 32-bit numbers), or null.
CallArgument Rectangle(const void* rect);

class CallRecord {
public:
    // A call of the program's own; a non-null result is named anew.
    void Call(std::string_view name, std::initializer_list<CallArgument> arguments,
              const void* result = nullptr);
    // A call of the message loop or of painting.
    void Traffic(std::string_view name, std::initializer_list<CallArgument> arguments);
    // The program's calls in order, then "-- message traffic" and the
    // traffic's distinct lines, sorted.
    std::string Text() const;
    void Clear();

private:
    std::string Line(std::string_view name, std::initializer_list<CallArgument> arguments,
                     bool mayName);
    std::string Name(uintptr_t handle, bool mayName);

    std::vector<std::string> calls_;
    std::set<std::string> traffic_;
    std::map<uintptr_t, std::string> names_;
    int named_ = 0;
};

}  // namespace qoz
