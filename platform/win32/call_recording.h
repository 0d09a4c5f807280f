// The coredll stand-in's record of every call the device's executable makes,
// with its arguments as the program passed them: kept while the environment
// variable QOZCAL_CALL_RECORD names a file, and written there as the program
// ends (platform/common/call_record.h says how a record reads).
#pragma once

#include <stdarg.h>
#include <windows.h>

#include "platform/common/call_record.h"

using qoz::Handle;
using qoz::Hex;
using qoz::Literal;
using qoz::Number;
using qoz::Points;
using qoz::Pointer;
using qoz::Rectangle;
using qoz::TextBytes;

qoz::CallArgument Text(const wchar_t* text);

void RecordCall(std::string_view name, std::initializer_list<qoz::CallArgument> arguments,
                const void* result = nullptr);
void RecordMessageTraffic(std::string_view name, std::initializer_list<qoz::CallArgument> arguments);
// A call that formats text, recorded with the text it formats.
void RecordFormatted(std::string_view name, const wchar_t* format, va_list args);
void FinishCallRecord();
