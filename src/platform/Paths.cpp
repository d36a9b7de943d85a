#include "platform/Paths.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>

#include "platform/WinText.h"
#else
#include <unistd.h>
#endif

namespace platform {

std::string ExecutablePath() {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    if (n == 0 || n >= std::size(buffer)) {
        return {};
    }
    return WideToUtf8(std::wstring(buffer, n));
#else
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
#endif
}

std::string WithTrailingSeparator(std::string dir) {
    if (dir.empty()) {
        return dir;
    }
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) {
        dir.pop_back();
    }
    if (dir.back() != '/' && dir.back() != '\\') {
        dir.push_back(kSeparator);
    }
    return dir;
}

std::string ExecutableDirectory() {
    std::string exe = ExecutablePath();
    auto cut = exe.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : exe.substr(0, cut + 1);
}

bool IsWritableDirectory(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) {
        return false;
    }
#ifdef _WIN32
    std::wstring probe = Utf8ToWide(WithTrailingSeparator(path) + ".ravik-write-probe");
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(h);
    return true;
#else
    return access(path.c_str(), W_OK | X_OK) == 0;
#endif
}

}  // namespace platform
