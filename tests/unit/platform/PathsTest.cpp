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

// A program starts from its own folder: the path up to its last separator, which on Windows
// may be either slash and elsewhere only '/'.
TEST(Paths, FolderOfAProgramEndsAtItsLastSeparator) {
    const bool windows = platform::kSeparator == '\\';
    const struct {
        const char* path;
        const char* folder;
    } cases[] = {
        {"/games/a/game.sh", "/games/a/"},
        {"game.sh", ""},
        {"", ""},
        {"/", "/"},
        {"C:\\Games\\a\\game.exe", windows ? "C:\\Games\\a\\" : ""},
        {"C:\\Games/a\\game.exe", windows ? "C:\\Games/a\\" : "C:\\Games/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::FolderOf(c.path), c.folder) << c.path;
    }
}

}  // namespace
