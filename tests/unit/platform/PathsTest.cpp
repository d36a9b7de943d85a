#include <gtest/gtest.h>

#include <filesystem>

#include "ScopedEnvironment.h"
#include "TestPaths.h"
#include "platform/Paths.h"

namespace {

TEST(Paths, ExecutablePathNamesThisProgram) {
    const std::filesystem::path self = U8Path(platform::ExecutablePath());
    EXPECT_TRUE(std::filesystem::is_regular_file(self)) << platform::ExecutablePath();
    EXPECT_EQ(self.stem(), "platform_tests");
    EXPECT_EQ(platform::ExecutableDirectory(), Utf8Of(self.parent_path()) + platform::kSeparator);
}

TEST(Paths, EnvironmentVariablesKeepEveryCharacter) {
    // The user's own directory may hold characters outside the ANSI code page.
    const std::string value = "C:\\Users\\\xE7\x8E\xA9\xE5\xAE\xB6 \xF0\x9F\x98\x80";  // 玩家 😀
    ScopedEnvironment variable("RAVIK_TEST_VALUE", value);
    EXPECT_EQ(platform::EnvironmentVariable("RAVIK_TEST_VALUE"), value);
    EXPECT_EQ(platform::EnvironmentVariable("RAVIK_TEST_NEVER_SET"), "");
}

}  // namespace
