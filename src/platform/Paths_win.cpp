#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Paths.h"
#include "platform/WinText.h"

namespace platform {

std::string ExecutablePath() {
    // Paths may be longer than MAX_PATH; the buffer grows until the name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return WideToUtf8(buffer);
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool IsWritableDirectory(const std::string& path) {
    std::error_code ec;
    const std::wstring wide = Utf8ToWide(path);
    if (!std::filesystem::is_directory(std::filesystem::path(wide), ec)) {
        return false;
    }
    // The access rights of a Windows folder are not worth reading: trying is the one
    // reliable answer.
    std::wstring probe = Utf8ToWide(WithTrailingSeparator(path) + ".ravik-write-probe");
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(h);
    return true;
}

std::string UserDataDirectory() {
    return EnvironmentVariable("LOCALAPPDATA");
}

std::string EnvironmentVariable(const std::string& name) {
    // The narrow environment is in the ANSI code page; the wide one holds every character.
    const wchar_t* value = _wgetenv(Utf8ToWide(name).c_str());
    return value != nullptr ? WideToUtf8(value) : "";
}

}  // namespace platform
