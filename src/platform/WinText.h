#pragma once
// Windows only: UTF-8 <-> UTF-16 for the wide Win32 calls, and command-line quoting. UTF-8 is
// decoded by the core's one walker rather than by the system, so a bad byte becomes one
// U+FFFD here exactly as it counts one unit everywhere else (the system may fold several
// bad bytes into one).
#ifdef _WIN32
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/Utf8.h"

namespace platform {

inline std::wstring Utf8ToWide(std::string_view s) {
    std::wstring w;
    w.reserve(s.size());
    while (!s.empty()) {
        const Utf8Char c = DecodeUtf8Char(s);
        if (c.codePoint > 0xFFFF) {
            const char32_t v = c.codePoint - 0x10000;
            w.push_back(static_cast<wchar_t>(0xD800 + (v >> 10)));
            w.push_back(static_cast<wchar_t>(0xDC00 + (v & 0x3FF)));
        } else {
            w.push_back(static_cast<wchar_t>(c.codePoint));
        }
        s.remove_prefix(c.length);
    }
    return w;
}

inline std::string WideToUtf8(std::wstring_view w) {
    if (w.empty()) {
        return {};
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

// One argument quoted for a command line, so that CommandLineToArgvW and the C runtime
// split it back into the same text: quoted when it is empty or holds a blank or a quote,
// with the backslashes before a quote (or before the closing quote) doubled.
inline std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out.push_back(c);
    }
    out.append(slashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

}  // namespace platform
#endif
