#include <windows.h>

#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/CodePage.h"
#include "platform/WinText.h"

namespace platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// UTF-16 is converted here; everything else goes through a Windows code page.
struct Encoding {
    enum Kind { Utf16Le, Utf16Be, CodePage } kind = CodePage;
    UINT codePage = 0;
};

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The number after `prefix` in `name`, or 0.
UINT NumberAfter(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.size() - prefix.size() > 5) {
        return 0;
    }
    UINT number = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return 0;
        }
        number = number * 10 + static_cast<UINT>(name[i] - '0');
    }
    return number;
}

// Code page numbers of the encoding names iconv uses for them.
UINT CodePageOf(const std::string& name) {
    struct Alias {
        const char* name;
        UINT codePage;
    };
    static const Alias kAliases[] = {
        {"UTF-8", CP_UTF8},     {"UTF8", CP_UTF8},     {"GBK", 936},          {"GB2312", 936},
        {"EUC-CN", 936},        {"MS936", 936},        {"GB18030", 54936},    {"BIG5", 950},
        {"BIG-5", 950},         {"BIG5-HKSCS", 951},   {"SHIFT_JIS", 932},    {"SHIFT-JIS", 932},
        {"SJIS", 932},          {"MS_KANJI", 932},     {"EUC-JP", 20932},     {"EUC-KR", 949},
        {"UHC", 949},           {"JOHAB", 1361},       {"KOI8-R", 20866},     {"KOI8-U", 21866},
        {"ASCII", 20127},       {"US-ASCII", 20127},   {"ISO-8859-1", 28591}, {"LATIN1", 28591},
        {"ISO-8859-2", 28592},  {"ISO-8859-5", 28595}, {"ISO-8859-7", 28597}, {"ISO-8859-9", 28599},
        {"ISO-8859-15", 28605}, {"TIS-620", 874},      {"UTF-7", CP_UTF7},
    };
    for (const Alias& alias : kAliases) {
        if (name == alias.name) {
            return alias.codePage;
        }
    }
    for (const char* prefix : {"CP", "WINDOWS-", "MS", "IBM"}) {
        if (UINT number = NumberAfter(name, prefix); number != 0) {
            return number;
        }
    }
    return 0;
}

std::optional<Encoding> Lookup(const std::string& encoding) {
    const std::string name = Upper(encoding);
    if (name == "UTF-16LE" || name == "UCS-2LE") {
        return Encoding{Encoding::Utf16Le, 0};
    }
    if (name == "UTF-16BE" || name == "UCS-2BE") {
        return Encoding{Encoding::Utf16Be, 0};
    }
    const UINT codePage = CodePageOf(name);
    if (codePage == 0 || !IsValidCodePage(codePage)) {
        return std::nullopt;
    }
    return Encoding{Encoding::CodePage, codePage};
}

// Code pages for which the conversion functions refuse every flag and the default
// character: the Unicode ones (GB18030 and UTF-8 hold every character anyway) and the
// stateful ones.
bool TakesNoFlags(UINT codePage) {
    return codePage == 42 || codePage == 52936 || codePage == 54936 ||
           (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011) ||
           codePage == CP_UTF7 || codePage == CP_UTF8;
}

// A code page without characters beyond the basic plane would give one '?' for each half of
// a surrogate pair; the character becomes one '?' instead.
std::wstring WithoutSurrogates(const std::wstring& wide) {
    std::wstring out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const wchar_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
                wide[i + 1] <= 0xDFFF) {
                ++i;
            }
            out.push_back(L'?');
            continue;
        }
        out.push_back(c);
    }
    return out;
}

std::string ToCodePage(const std::wstring& text, UINT codePage) {
    if (text.empty()) {
        return {};
    }
    const bool plain = TakesNoFlags(codePage);
    const std::wstring wide = plain ? text : WithoutSurrogates(text);
    // No "best fit": a character the code page lacks becomes '?', never a look-alike.
    const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = plain ? nullptr : "?";
    const int size = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, fallback, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), size, out.data(), n, fallback, nullptr);
    return out;
}

// Byte length of the character that starts at `p` in `codePage`.
std::size_t CharacterLength(UINT codePage, const CPINFO& info, const unsigned char* p,
                            std::size_t left) {
    std::size_t length = 1;
    if (codePage == 54936) {
        // GB18030: one byte, a lead and a trail byte, or four with a digit second.
        length = p[0] < 0x80 ? 1 : (left >= 2 && p[1] >= 0x30 && p[1] <= 0x39) ? 4 : 2;
    } else if (info.MaxCharSize == 2 && IsDBCSLeadByteEx(codePage, p[0])) {
        length = 2;
    }
    return std::min(length, left);
}

std::wstring FromCodePage(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    if (TakesNoFlags(codePage) && codePage != 54936) {
        int n = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), n);
        return wide;
    }
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n > 0) {
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), n);
        return wide;
    }
    // Damaged text: character by character, so each invalid byte becomes U+FFFD and
    // everything around it survives.
    CPINFO info{};
    GetCPInfo(codePage, &info);
    std::wstring wide;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        const std::size_t length = CharacterLength(codePage, info, p, left);
        wchar_t units[4];
        int got =
            MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(p),
                                static_cast<int>(length), units, 4);
        if (got > 0) {
            wide.append(units, static_cast<std::size_t>(got));
            p += length;
            left -= length;
        } else {
            wide.push_back(kReplacement);
            ++p;
            --left;
        }
    }
    return wide;
}

std::string Utf16Bytes(const std::wstring& wide, bool bigEndian) {
    std::string out;
    out.reserve(wide.size() * 2);
    for (wchar_t c : wide) {
        const char low = static_cast<char>(c & 0xFF);
        const char high = static_cast<char>((c >> 8) & 0xFF);
        out.push_back(bigEndian ? high : low);
        out.push_back(bigEndian ? low : high);
    }
    return out;
}

std::wstring Utf16Units(std::string_view bytes, bool bigEndian) {
    std::wstring wide;
    wide.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        wide.push_back(static_cast<wchar_t>(bigEndian ? first << 8 | second : second << 8 | first));
    }
    if (bytes.size() % 2 != 0) {
        wide.push_back(kReplacement);
    }
    return wide;
}

}  // namespace

std::string SystemAnsiCodePage() {
    return "CP" + std::to_string(GetACP());
}

bool ConvertFromUtf8(std::string_view utf8, const std::string& encoding, std::string& out) {
    const std::optional<Encoding> target = Lookup(encoding);
    if (!target) {
        return false;
    }
    const std::wstring wide = Utf8ToWide(utf8);
    switch (target->kind) {
        case Encoding::Utf16Le:
        case Encoding::Utf16Be:
            out = Utf16Bytes(wide, target->kind == Encoding::Utf16Be);
            break;
        case Encoding::CodePage:
            out = ToCodePage(wide, target->codePage);
            break;
    }
    return true;
}

bool ConvertToUtf8(std::string_view bytes, const std::string& encoding, std::string& out) {
    const std::optional<Encoding> source = Lookup(encoding);
    if (!source) {
        return false;
    }
    switch (source->kind) {
        case Encoding::Utf16Le:
        case Encoding::Utf16Be:
            out = WideToUtf8(Utf16Units(bytes, source->kind == Encoding::Utf16Be));
            break;
        case Encoding::CodePage:
            out = WideToUtf8(FromCodePage(bytes, source->codePage));
            break;
    }
    return true;
}

}  // namespace platform
