// The shell header builds on the types of windows.h.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/Shell.h"
#include "platform/WinText.h"

namespace platform {

bool StartProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::string& workingDir, bool hidden) {
    // ShellExecute would open a folder window for an empty name, and start the program in
    // some other directory when the one asked for is missing.
    if (program.empty()) {
        return false;
    }
    std::wstring dir = Utf8ToWide(workingDir);
    if (!dir.empty()) {
        DWORD attributes = GetFileAttributesW(dir.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return false;
        }
    }
    std::wstring params;
    for (const auto& a : args) {
        if (!params.empty()) {
            params.push_back(L' ');
        }
        params += QuoteArgument(Utf8ToWide(a));
    }
    std::wstring file = Utf8ToWide(program);
    HINSTANCE h =
        ShellExecuteW(nullptr, L"open", file.c_str(), params.empty() ? nullptr : params.c_str(),
                      dir.empty() ? nullptr : dir.c_str(), hidden ? SW_HIDE : SW_SHOW);
    return reinterpret_cast<INT_PTR>(h) > 32;
}

bool SystemOpenUrl(const std::string& url) {
    std::wstring w = Utf8ToWide(url);
    HINSTANCE h = ShellExecuteW(nullptr, L"open", w.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(h) > 32;
}

}  // namespace platform
