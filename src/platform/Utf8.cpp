#include "platform/Utf8.h"

#include <cstdint>
#include <cstring>

namespace platform {

Utf8Char DecodeUtf8Char(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t length;
    char32_t min;
    char32_t cp;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, min = 0x80, cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, min = 0x800, cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, cp = lead & 0x07;
    } else {
        return {kReplacementCharacter, 1, false};
    }
    if (text.size() < length) {
        return {kReplacementCharacter, 1, false};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return {kReplacementCharacter, 1, false};
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return {kReplacementCharacter, 1, false};
    }
    return {cp, length, true};
}

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    while (!utf8.empty()) {
        const Utf8Char c = DecodeUtf8Char(utf8);
        units += c.Utf16Units();
        utf8.remove_prefix(c.length);
    }
    return units;
}

bool IsValidUtf8(std::string_view text) {
    while (!text.empty()) {
        // Plain ASCII eight bytes at a time: large catalog files are mostly that.
        while (text.size() >= 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data(), 8);
            if ((word & 0x8080808080808080ull) != 0) {
                break;
            }
            text.remove_prefix(8);
        }
        if (text.empty()) {
            break;
        }
        const Utf8Char c = DecodeUtf8Char(text);
        if (!c.valid) {
            return false;
        }
        text.remove_prefix(c.length);
    }
    return true;
}

}  // namespace platform
