#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace catalog {

// How an INI file's bytes are encoded. A file is written back the way it was read; a file
// that did not exist is written as UTF-8 without a byte-order mark.
enum class IniEncoding { Utf8, Utf8Bom, Utf16LE, Ansi };

// Finds how `bytes` are encoded (a UTF-16LE or UTF-8 byte-order mark, valid UTF-8, else the
// ANSI code page) and gives their text as UTF-8 in `text`. Bytes of an ANSI file that are no
// character of the code page are kept in an escaped form that EncodeIniText turns back into
// the same bytes, so a file read and saved keeps every name and value.
IniEncoding DecodeIniBytes(std::string bytes, std::string& text);

// The bytes of UTF-8 `text` in `encoding`, with the byte-order mark it calls for; the text
// unchanged when it cannot be converted.
std::string EncodeIniText(std::string text, IniEncoding encoding);

// The first `limit` UTF-16 code units of UTF-8 text (a character is never split; an invalid
// byte is one unit, see platform/Utf8.h).
std::string CutToUtf16Units(std::string_view utf8, std::size_t limit);

}  // namespace catalog
