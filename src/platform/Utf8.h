#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// The one way the core walks UTF-8 text, so that counting, cutting, validating and converting
// agree on every byte. A byte that does not start a well-formed sequence is invalid on its
// own: a lone continuation byte, a lead byte whose sequence is cut short or broken, an
// overlong form, a UTF-16 surrogate, a value beyond U+10FFFF, the bytes F5 to FF. Each such
// byte is one replacement character, U+FFFD, and so one UTF-16 unit; the bytes after it are
// looked at afresh.

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

struct Utf8Char {
    char32_t codePoint = kReplacementCharacter;  // U+FFFD for an invalid byte
    std::size_t length = 0;  // bytes taken: 1 to 4; 1 for an invalid byte; 0 for no text
    bool valid = false;

    // Characters beyond the basic plane take a surrogate pair in UTF-16.
    std::size_t Utf16Units() const { return codePoint > 0xFFFF ? 2 : 1; }
};

// The character at the start of `text`.
Utf8Char DecodeUtf8Char(std::string_view text);

// Number of UTF-16 code units of the text: "at most N characters" counts these, as Windows
// does.
std::size_t Utf16Length(std::string_view utf8);

// True when every byte of the text belongs to a well-formed character.
bool IsValidUtf8(std::string_view text);

}  // namespace platform
