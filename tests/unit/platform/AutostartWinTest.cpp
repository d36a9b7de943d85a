#include <gtest/gtest.h>
#include <windows.h>

#include "AutostartSandbox.h"
#include "platform/Autostart.h"
#include "platform/WinText.h"

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The Run value "Ravik" as the system reads it; `found` tells whether it is there.
std::wstring RunValue(bool& found) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    found = RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Ravik", RRF_RT_REG_SZ, nullptr, buffer,
                         &size) == ERROR_SUCCESS;
    return buffer;
}

TEST(AutostartWin, RunValueHoldsTheQuotedProgramPath) {
    AutostartSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready());
    // Unquoted, "C:\Program" would be taken for the program.
    const std::string program =
        "C:\\Program Files\\Ravik \xE6\xB8\xB8\xE6\x88\x8F\\Ravik_desk.exe";  // 游戏
    ASSERT_TRUE(platform::SetAutostart(program));
    bool found = false;
    EXPECT_EQ(RunValue(found), L"\"" + platform::Utf8ToWide(program) + L"\"");
    EXPECT_TRUE(found);
    EXPECT_EQ(platform::AutostartProgram(), program);

    ASSERT_TRUE(platform::RemoveAutostart());
    RunValue(found);
    EXPECT_FALSE(found) << "switched off, the value is gone";
}

TEST(AutostartWin, ValuesWrittenByOthersAreRead) {
    AutostartSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready());
    struct Case {
        const wchar_t* value;
        const char* program;
    };
    const Case cases[] = {
        {L"C:\\Ravik\\Ravik_desk.exe", "C:\\Ravik\\Ravik_desk.exe"},
        {L"\"C:\\Ravik 1\\Ravik_desk.exe\" --tray", "C:\\Ravik 1\\Ravik_desk.exe"},
    };
    for (const Case& c : cases) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        const std::wstring value = c.value;
        RegSetValueExW(key, L"Ravik", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        EXPECT_EQ(platform::AutostartProgram(), c.program);
    }
}

}  // namespace
