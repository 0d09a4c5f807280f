// The printf-style formatter behind wsprintfW and NKDbgPrintfW, written once
// for both platforms over the 16-bit character type they use for WCHAR.
#pragma once

#include <cstdarg>
#include <string>

namespace qoz {

// Appends `format` to `out` with its conversions expanded the way the
// Windows wide printf family expands them:
//   %d %i %u %x %X  32-bit integers (precision = minimum digits)
//   %c              a character passed as an int (%hc: a narrow char)
//   %s              a string of Char, null prints "(null)" (%hs: a narrow
//                   string); precision = maximum characters
//   %f              a double, 6 decimals or the precision's number
//   %%              a percent sign
// with the flags '-' (align left) and '0' (pad numbers with zeros), a width,
// a precision, and the size prefixes 'l' (no effect: long is 32 bits, as on
// Windows) and 'h' (short integers, narrow text). Anything else after a '%',
// including a width or precision above 4096, is copied through as it stands.
template <typename Char>
void AppendFormatted(std::basic_string<Char>& out, const Char* format, va_list args);

// wsprintfW's contract: `buffer` receives at most 1024 characters of the
// formatted text, the terminating NUL included, and never more. Returns the
// number of characters written without the NUL; a null buffer gets nothing.
template <typename Char>
int CopyIntoWsprintfBuffer(Char* buffer, const std::basic_string<Char>& text);

}  // namespace qoz

// In a variadic function whose last named parameter is `format`: appends
// the format, with the arguments after it, to `text`. Every wsprintfW and
// NKDbgPrintfW (the host's, the desktop's stand-ins, the traced build's) is
// this and one more call.
#define QOZ_FORMAT_ARGUMENTS(text, format)                  \
    do {                                                    \
        va_list qozArguments;                               \
        va_start(qozArguments, format);                     \
        ::qoz::AppendFormatted(text, format, qozArguments); \
        va_end(qozArguments);                               \
    } while (0)
