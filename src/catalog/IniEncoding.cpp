#include "catalog/IniEncoding.h"

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
    if (!platform::ConvertToUtf8(bytes, platform::AnsiCodePage(), text)) {
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
            if (platform::ConvertFromUtf8(text, platform::AnsiCodePage(), encoded)) {
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
