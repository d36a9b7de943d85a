#include <gtest/gtest.h>

#include "AutostartSandbox.h"
#include "platform/Autostart.h"

namespace {

TEST(Autostart, EntryNamesTheProgramUntilRemoved) {
    AutostartSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready());
    const char* const programs[] = {
        "/opt/ravik/Ravik_desk", "C:\\Program Files\\Ravik\\Ravik_desk.exe",
        "D:\\Ravik \xE6\xB8\xB8\xE6\x88\x8F\xE6\xA1\x8C\xE9\x9D\xA2\\Ravik_desk.exe",  // 游戏桌面
    };
    for (const char* program : programs) {
        ASSERT_TRUE(platform::SetAutostart(program)) << program;
        EXPECT_EQ(platform::AutostartProgram(), program);
    }
    EXPECT_TRUE(platform::RemoveAutostart());
    EXPECT_EQ(platform::AutostartProgram(), "");
    EXPECT_TRUE(platform::RemoveAutostart()) << "removing what is not there";
}

}  // namespace
