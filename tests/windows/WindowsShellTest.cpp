// ShellExecuteW and process start-up as the launcher uses them on Windows: a web address goes
// to the program registered for http, a tool starts with its arguments in its own folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "Eventually.h"
#include "TempDir.h"
#include "WinProcess.h"
#include "platform/Shell.h"

namespace fs = std::filesystem;

namespace {

using wintest::ReadFile;
using wintest::Utf8;

// The recorder writes to the file this test names through the environment it inherits.
class WindowsShell : public ::testing::Test {
  protected:
    void SetUp() override {
        record = temp.path() / "record.txt";
        _wputenv_s(L"RAVIK_RECORD_FILE", record.c_str());
    }
    void TearDown() override { _wputenv_s(L"RAVIK_RECORD_FILE", L""); }

    std::string Recorded() const { return ReadFile(record); }

    TempDir temp;
    fs::path record;
};

// Makes `command` the default value of one registry key for one scope; the old value (or
// its absence) is put back afterwards.
class RegistryDefault {
  public:
    RegistryDefault(HKEY root, const wchar_t* path, const std::wstring& command) {
        RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        DWORD size = sizeof saved_;
        hadValue_ = RegQueryValueExW(key_, nullptr, nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(saved_), &size) == ERROR_SUCCESS;
        Set(command.c_str());
    }
    ~RegistryDefault() {
        if (hadValue_) {
            Set(saved_);
        } else {
            RegDeleteValueW(key_, nullptr);
        }
        RegCloseKey(key_);
    }
    RegistryDefault(const RegistryDefault&) = delete;
    RegistryDefault& operator=(const RegistryDefault&) = delete;

    static std::wstring Read(HKEY root, const wchar_t* path) {
        wchar_t value[1024] = {};
        DWORD size = sizeof value;
        RegGetValueW(root, path, nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
        return value;
    }

  private:
    void Set(const wchar_t* value) {
        RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }

    HKEY key_ = nullptr;
    wchar_t saved_[1024] = {};
    bool hadValue_ = false;
};

// Makes a program the user's handler of http addresses for one scope, as a browser
// registers itself per user. Wine's HKEY_CLASSES_ROOT does not show per-user classes, so
// where the user's key does not reach it the merged view is set as well.
class HttpHandler {
  public:
    explicit HttpHandler(const fs::path& program)
        : command_(L"\"" + program.wstring() + L"\" \"%1\""),
          user_(HKEY_CURRENT_USER, L"Software\\Classes\\http\\shell\\open\\command", command_) {
        if (RegistryDefault::Read(HKEY_CLASSES_ROOT, kClassKey) != command_) {
            merged_.emplace(HKEY_CLASSES_ROOT, kClassKey, command_);
        }
    }

  private:
    static constexpr const wchar_t* kClassKey = L"http\\shell\\open\\command";
    std::wstring command_;
    RegistryDefault user_;
    std::optional<RegistryDefault> merged_;
};

TEST_F(WindowsShell, AWebAddressGoesToTheRegisteredHandler) {
    HttpHandler handler(RECORDER_PATH);
    platform::SetUrlOpener({});
    const std::string url = "http://127.0.0.1:9/desk/jc.shtml?id=20011&name=%E5%B7%A5";
    ASSERT_TRUE(platform::OpenUrl(url));
    ASSERT_TRUE(Eventually([&] { return !Recorded().empty(); }));
    EXPECT_NE(Recorded().find("arg " + url + "\n"), std::string::npos) << Recorded();
}

TEST_F(WindowsShell, AToolStartsInItsFolderWithItsArguments) {
    // A tool folder as the installer makes them: a Chinese name with a space.
    const fs::path folder = temp.path() / u8"通用 工具";
    fs::create_directory(folder);
    const fs::path tool = folder / u8"记录器.exe";
    fs::copy_file(RECORDER_PATH, tool);

    ASSERT_TRUE(platform::StartProgram(Utf8(tool), {"--mode", "双 开"}, Utf8(folder)));
    ASSERT_TRUE(Eventually([&] { return !Recorded().empty(); }));
    EXPECT_EQ(Recorded(), "cwd " + Utf8(folder) + "\narg --mode\narg 双 开\n");
}

TEST_F(WindowsShell, AMissingProgramIsReportedAsNotStarted) {
    EXPECT_FALSE(platform::StartProgram(Utf8(temp.path() / "missing.exe")));
    EXPECT_FALSE(platform::StartProgram(RECORDER_PATH, {}, Utf8(temp.path() / "no such folder")));
}

}  // namespace
