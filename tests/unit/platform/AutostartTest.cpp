#include "platform/Autostart.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "TempDir.h"

namespace {

TEST(Autostart, SetReadAndRemoveTheXdgEntry) {
    TempDir config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    EXPECT_EQ(platform::AutostartProgram(), "");
    EXPECT_TRUE(platform::RemoveAutostart());  // nothing there is fine

    const std::string program = "/opt/Ravik \"x\"/Ravik_desk";
    ASSERT_TRUE(platform::SetAutostart(program));
    EXPECT_EQ(platform::AutostartProgram(), program);
    EXPECT_NE(config.Read("autostart/Ravik.desktop").find("Type=Application"), std::string::npos);

    EXPECT_TRUE(platform::RemoveAutostart());
    EXPECT_EQ(platform::AutostartProgram(), "");
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
