#include <gtest/gtest.h>

#include "AutostartSandbox.h"
#include "platform/Autostart.h"

namespace {

TEST(AutostartXdg, DesktopEntryQuotesTheProgram) {
    AutostartSandbox sandbox;
    const std::string program = "/opt/Ravik \"x\" $HOME `y`\\/Ravik_desk";
    ASSERT_TRUE(platform::SetAutostart(program));
    const std::string entry = sandbox.ConfigDirectory().Read("autostart/Ravik.desktop");
    EXPECT_NE(entry.find("Type=Application\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Exec=\"/opt/Ravik \\\"x\\\" \\$HOME \\`y\\`\\\\/Ravik_desk\"\n"),
              std::string::npos)
        << entry;
    EXPECT_EQ(platform::AutostartProgram(), program);
    EXPECT_TRUE(platform::RemoveAutostart());
    EXPECT_EQ(sandbox.ConfigDirectory().Read("autostart/Ravik.desktop"), "");
}

}  // namespace
