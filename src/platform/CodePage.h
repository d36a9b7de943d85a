#pragma once

#include <string>
#include <string_view>

namespace platform {

// Conversion between the UTF-8 text the core works in and the system's ANSI code page, in
// which the data server speaks. On Windows that is CP_ACP; elsewhere GBK (CP936) unless
// SetAnsiCodePage names another iconv encoding.
void SetAnsiCodePage(const std::string& iconvName);
std::string AnsiCodePage();

// Characters the code page cannot represent become '?', as the Windows conversion does
// with its default character; a conversion never fails as a whole.
std::string Utf8ToAnsi(std::string_view utf8);
// Bytes that are not valid in the code page become U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);

// Same conversions between UTF-8 and any encoding iconv knows ("UTF-16LE", "GBK", ...).
// Return false when the encoding is unknown; unconvertible input is substituted as above.
bool ConvertFromUtf8(std::string_view utf8, const std::string& encoding, std::string& out);
bool ConvertToUtf8(std::string_view bytes, const std::string& encoding, std::string& out);

}  // namespace platform
