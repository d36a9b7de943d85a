// The shell header builds on the types of windows.h.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/Autostart.h"
#include "platform/WinText.h"

namespace platform {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValue[] = L"Ravik";

// Owns an open registry key.
class RegistryKey {
  public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

}  // namespace

bool SetAutostart(const std::string& programFile, const std::vector<std::string>& args) {
    RegistryKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    // Unquoted, the system would take "C:\Program" of "C:\Program Files\..." for the program.
    std::wstring value = L"\"" + Utf8ToWide(programFile) + L"\"";
    for (const std::string& arg : args) {
        value += L" " + QuoteArgument(Utf8ToWide(arg));
    }
    return RegSetValueExW(
               key.get(), kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RemoveAutostart() {
    RegistryKey key;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, key.out());
    if (rc == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (rc != ERROR_SUCCESS) {
        return false;
    }
    rc = RegDeleteValueW(key.get(), kValue);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

std::vector<std::string> AutostartCommand() {
    // A REG_EXPAND_SZ value is expanded and read as REG_SZ.
    const DWORD types = RRF_RT_REG_SZ;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValue, types, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0) {
        return {};
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValue, types, nullptr, value.data(), &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    value.resize(wcsnlen(value.c_str(), value.size()));
    // A quoted program path may be followed by arguments; an unquoted value is all path.
    if (value.empty() || value.front() != L'"') {
        return {WideToUtf8(value)};
    }
    const auto close = value.find(L'"', 1);
    std::vector<std::string> command{
        WideToUtf8(value.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1))};
    if (close == std::wstring::npos) {
        return command;
    }
    // The system's own splitting, after a stand-in for the program, whose rules differ.
    int count = 0;
    LPWSTR* args = CommandLineToArgvW((L"x " + value.substr(close + 1)).c_str(), &count);
    if (args != nullptr) {
        for (int i = 1; i < count; ++i) {
            command.push_back(WideToUtf8(args[i]));
        }
        LocalFree(args);
    }
    return command;
}

}  // namespace platform
