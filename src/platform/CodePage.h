#pragma once

#include <string>
#include <string_view>

namespace platform {

// Conversion between the UTF-8 text the core works in and the system's ANSI code page, in
// which the data server speaks. Encodings are named as iconv names them ("GBK", "CP936",
// "GB18030", "UTF-16LE", "BIG5", ...); on Windows, where the system's code-page functions
// convert, "CP" followed by a code page number names that code page too.

// The encoding the ANSI conversions use: SystemAnsiCodePage() until SetAnsiCodePage names
// another.
void SetAnsiCodePage(const std::string& encoding);
std::string AnsiCodePage();

// The system's ANSI code page: on Windows CP_ACP, named "CP" and its number ("CP936" on a
// Chinese system); elsewhere GBK, named "CP936".
std::string SystemAnsiCodePage();

// Characters the code page cannot represent become '?', as the Windows conversion does
// with its default character; a conversion never fails as a whole.
std::string Utf8ToAnsi(std::string_view utf8);
// Bytes that are not valid in the code page become U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);

// Same conversions between UTF-8 and any encoding named as above. Return false when the
// encoding is unknown; unconvertible input is substituted as above.
bool ConvertFromUtf8(std::string_view utf8, const std::string& encoding, std::string& out);
bool ConvertToUtf8(std::string_view bytes, const std::string& encoding, std::string& out);

}  // namespace platform
