#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AutostartSandbox.h"
#include "platform/Autostart.h"

namespace {

TEST(Autostart, EntryNamesTheCommandUntilRemoved) {
    AutostartSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready());
    const std::vector<std::vector<std::string>> commands = {
        {"/opt/ravik/Ravik_desk"},
        {"C:\\Program Files\\Ravik\\Ravik_desk.exe"},
        {"D:\\Ravik \xE6\xB8\xB8\xE6\x88\x8F\xE6\xA1\x8C\xE9\x9D\xA2\\Ravik_desk.exe"},  // 游戏桌面
        // A program directory named on the command line, ending in a separator that must not
        // swallow the closing quote.
        {"C:\\Program Files\\Ravik\\Ravik_desk.exe", "--data-dir",
         "D:\\\xE6\xB8\xB8\xE6\x88\x8F \xE6\xA1\x8C\xE9\x9D\xA2\\"},
        {"/usr/bin/Ravik_desk", "--data-dir", "/home/me/\xE6\xB8\xB8\xE6\x88\x8F 100%/"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front());
        ASSERT_TRUE(platform::SetAutostart(command.front(), {command.begin() + 1, command.end()}));
        EXPECT_EQ(platform::AutostartCommand(), command);
        EXPECT_EQ(platform::AutostartProgram(), command.front());
    }
    EXPECT_TRUE(platform::RemoveAutostart());
    EXPECT_EQ(platform::AutostartProgram(), "");
    EXPECT_TRUE(platform::RemoveAutostart()) << "removing what is not there";
}

}  // namespace
