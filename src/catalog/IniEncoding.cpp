#include "catalog/IniEncoding.h"

#include <algorithm>
#include <utility>

#include "platform/CodePage.h"
#include "platform/Utf8.h"

namespace catalog {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

constexpr std::string_view kUtf16Mark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// A byte of an ANSI file that is no character of the code page (a character cut at the end
// of the file, a stray byte in a key) stands in the text as U+DC00 + byte, written as the
// three bytes ED B2/B3 xx, which no converted text contains (a lone surrogate is not valid
// UTF-8). Saving turns it back into the byte, so the file keeps its bytes and is read the
// same way next time, where a substitute character would change the name or value and could
// even make the file read as UTF-8.
void AppendEscaped(unsigned char byte, std::string& out) {
    const unsigned code = 0xDC00u + byte;
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
}

bool IsEscape(std::string_view text, std::size_t at) {
    return at + 3 <= text.size() && text[at] == '\xED' &&
           (text[at + 1] == '\xB2' || text[at + 1] == '\xB3') &&
           (static_cast<unsigned char>(text[at + 2]) & 0xC0) == 0x80;
}

unsigned char Unescaped(std::string_view text, std::size_t at) {
    const unsigned code = ((static_cast<unsigned char>(text[at]) & 0x0Fu) << 12) |
                          ((static_cast<unsigned char>(text[at + 1]) & 0x3Fu) << 6) |
                          (static_cast<unsigned char>(text[at + 2]) & 0x3Fu);
    return static_cast<unsigned char>(code - 0xDC00u);
}

// One character of the code page at the start of `bytes` (1 to 4 bytes), or false.
bool AnsiCharacter(std::string_view bytes, const std::string& codePage, std::string& out,
                   std::size_t& length) {
    for (length = 1; length <= std::min<std::size_t>(4, bytes.size()); ++length) {
        std::string converted;
        if (platform::ConvertToUtf8(bytes.substr(0, length), codePage, converted) &&
            !converted.empty() && converted.find(kReplacement) == std::string::npos &&
            platform::DecodeUtf8Char(converted).length == converted.size()) {
            out += converted;
            return true;
        }
    }
    return false;
}

// ANSI bytes as text. Lines convert whole; a line holding a byte that is no character of the
// code page is taken apart character by character so that only that byte is escaped. A line
// break is never part of a multi-byte character in the code pages we read.
bool AnsiToText(std::string_view bytes, std::string& text) {
    const std::string codePage = platform::AnsiCodePage();
    text.clear();
    text.reserve(bytes.size() * 3 / 2);
    std::string converted;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t nl = bytes.find('\n', pos);
        const std::size_t end = nl == std::string_view::npos ? bytes.size() : nl + 1;
        const std::string_view line = bytes.substr(pos, end - pos);
        pos = end;
        if (!platform::ConvertToUtf8(line, codePage, converted)) {
            return false;
        }
        if (converted.find(kReplacement) == std::string::npos) {
            text += converted;
            continue;
        }
        for (std::size_t i = 0; i < line.size();) {
            std::size_t length = 1;
            if (AnsiCharacter(line.substr(i), codePage, text, length)) {
                i += length;
                continue;
            }
            const auto byte = static_cast<unsigned char>(line[i++]);
            if (byte < 0x80) {
                text.push_back(static_cast<char>(byte));
            } else {
                AppendEscaped(byte, text);
            }
        }
    }
    return true;
}

// The text in the ANSI code page, escaped bytes back as they were read.
bool TextToAnsi(std::string_view text, std::string& bytes) {
    const std::string codePage = platform::AnsiCodePage();
    bytes.clear();
    std::string converted;
    std::size_t run = 0;
    auto flush = [&](std::size_t end) {
        if (end > run) {
            if (!platform::ConvertFromUtf8(text.substr(run, end - run), codePage, converted)) {
                return false;
            }
            bytes += converted;
        }
        return true;
    };
    for (std::size_t i = text.find('\xED'); i != std::string_view::npos; i = text.find('\xED', i)) {
        if (!IsEscape(text, i)) {
            ++i;
            continue;
        }
        if (!flush(i)) {
            return false;
        }
        bytes.push_back(static_cast<char>(Unescaped(text, i)));
        i += 3;
        run = i;
    }
    return flush(text.size());
}

}  // namespace

IniEncoding DecodeIniBytes(std::string bytes, std::string& text) {
    if (StartsWith(bytes, kUtf16Mark)) {
        if (!platform::ConvertToUtf8(std::string_view(bytes).substr(kUtf16Mark.size()), "UTF-16LE",
                                     text)) {
            text.assign(bytes, kUtf16Mark.size());
        }
        return IniEncoding::Utf16LE;
    }
    if (StartsWith(bytes, kUtf8Mark)) {
        bytes.erase(0, kUtf8Mark.size());
        text = std::move(bytes);
        return IniEncoding::Utf8Bom;
    }
    if (platform::IsValidUtf8(bytes)) {
        text = std::move(bytes);
        return IniEncoding::Utf8;
    }
    if (!AnsiToText(bytes, text)) {
        text.assign(bytes);
    }
    return IniEncoding::Ansi;
}

std::string EncodeIniText(std::string text, IniEncoding encoding) {
    std::string encoded;
    switch (encoding) {
        case IniEncoding::Utf8:
            return text;
        case IniEncoding::Utf8Bom:
            return std::string(kUtf8Mark) + text;
        case IniEncoding::Utf16LE:
            if (platform::ConvertFromUtf8(text, "UTF-16LE", encoded)) {
                return std::string(kUtf16Mark) + encoded;
            }
            return text;
        case IniEncoding::Ansi:
            if (TextToAnsi(text, encoded)) {
                return encoded;
            }
            return text;
    }
    return text;
}

std::string CutToUtf16Units(std::string_view utf8, std::size_t limit) {
    // A UTF-8 text never has fewer bytes than UTF-16 units.
    if (utf8.size() <= limit) {
        return std::string(utf8);
    }
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        platform::Utf8Char c = platform::DecodeUtf8Char(utf8.substr(i));
        if (units + c.Utf16Units() > limit) {
            break;
        }
        units += c.Utf16Units();
        i += c.length;
    }
    return std::string(utf8.substr(0, i));
}

}  // namespace catalog
