// The settings file's bytes as lines of UTF-16 text, and back. A file is
// read in the encoding regedit would give it: UTF-16LE or UTF-8 after their
// byte-order marks, Windows-1252 when its first line is the REGEDIT4 header,
// UTF-8 otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qoz::host {

enum class TextEncoding : uint8_t { Utf8, Utf8WithBom, Utf16le, Windows1252 };

TextEncoding DetectEncoding(std::string_view bytes);

// The byte-order mark the encoding starts with; empty for none.
std::string_view ByteOrderMark(TextEncoding encoding);

// One line of the file, as byte offsets: its text runs from begin to
// textEnd, and its line end (LF or CR LF, none on a last line without one)
// up to end.
struct LineSpan {
    size_t begin = 0;
    size_t textEnd = 0;
    size_t end = 0;
    bool crlf = false;  // the line ends with a CR
};

// The line that starts at begin, which must be below bytes.size(). A CR
// before the LF (or at the very end) belongs to the line end.
LineSpan FindLine(std::string_view bytes, size_t begin, TextEncoding encoding);

// The text of a line; empty when its bytes are not valid in the encoding
// (reason then says why). Windows-1252 maps every byte, the five it leaves
// undefined to U+0081, U+008D, U+008F, U+0090 and U+009D as Windows does.
std::optional<std::u16string> DecodeLine(std::string_view bytes, TextEncoding encoding,
                                         std::string& reason);

// Appends text in the encoding. A character Windows-1252 lacks becomes '?',
// as Windows writes it; unpaired surrogates become U+FFFD in UTF-8.
void AppendEncoded(std::string& out, std::u16string_view text, TextEncoding encoding);

char16_t FromWindows1252(uint8_t byte);
std::optional<uint8_t> ToWindows1252(char16_t character);

}  // namespace qoz::host
