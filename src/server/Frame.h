#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Utf8.h"

namespace server {

// Characters with a fixed role in the frames exchanged with the data server.
inline constexpr char kStartMark = '^';
inline constexpr char kEndMark = '~';
inline constexpr char kFieldSeparator = '\x11';
inline constexpr char kRecordSeparator = '\x12';

// The length field of a frame counts characters in UTF-16 code units; a byte that is not
// valid UTF-8 counts one unit (platform/Utf8.h).
using platform::Utf16Length;

// Assembles a request frame: "^", the one-digit code, a field separator, the frame length in
// ten zero-padded digits, then a field separator before each field, one more separator when
// `trailingSeparator` is set, and "~". The length counts every character of the frame plus
// `extraLength` (the feedback message counts its reason text twice, which makes the length
// equal the encoded byte count of its Chinese text). Fields are inserted as they are.
std::string BuildFrame(char code, const std::vector<std::string>& fields, bool trailingSeparator,
                       std::size_t extraLength = 0);

// A frame taken apart again: what BuildFrame was given for it, or why the text is no frame.
struct ParsedFrame {
    char code = '\0';
    std::vector<std::string> fields;
    std::size_t extraLength = 0;  // what the length field counts beyond the frame's characters
    std::string problem;          // empty when the text is a frame

    bool Ok() const { return problem.empty(); }
};

// The inverse of BuildFrame: ParseFrame(BuildFrame(code, fields, trailingSeparator, extra),
// trailingSeparator) gives the code, the fields and `extra` back, for fields without a field
// separator and lengths that fit in the ten digits BuildFrame counts. The text is refused when
// it does not start with "^", a code and a field separator or does not end with "~", when its
// length field is not 10 to 19 digits (more are refused, so the number always fits in 64
// bits; every digit counts as a character of the frame), when the trailing separator the
// caller expects is missing, or when the length field counts fewer characters than the frame
// has. Like BuildFrame it works on the UTF-8 text of a frame, not on its bytes in the ANSI
// code page.
[[nodiscard]] ParsedFrame ParseFrame(std::string_view frame, bool trailingSeparator);

// The local time as "YYYY-MM-DD hh:mm:ss", the timestamp every report carries.
std::string FormatReportTime();
std::string FormatReportTime(const std::tm& local);

// The bytes that go on the wire for a frame: the frame in the ANSI code page, its terminating
// zero byte and one more zero byte. Characters the code page lacks become its default
// character; the conversion never fails.
std::string EncodeFrame(std::string_view frame);

// A reply's text: the received bytes up to the first zero byte (all of them when none is
// zero), converted from the ANSI code page. Invalid sequences become U+FFFD.
std::string DecodeReply(std::string_view bytes);

// The decimal digits at the start of a text as an unsigned 32-bit number (0 when there are
// none), wrapping as the profile reader does, so stamps and ids compare the way lasttime is
// read back.
uint32_t LeadingNumber(std::string_view text);

// Splits `text` at every `separator`. Empty parts are kept, a text ending in the separator
// yields an empty last part and the empty text yields one empty part.
std::vector<std::string> SplitFields(std::string_view text, char separator);

// The fields of a reply (split at U+0011) as texts the client may store: line breaks and NULs
// become spaces, since every field can end up as a value in an INI file.
std::vector<std::string> SplitTextFields(std::string_view reply);

}  // namespace server
