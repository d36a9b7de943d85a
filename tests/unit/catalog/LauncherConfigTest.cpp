#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TempDir.h"
#include "catalog/LauncherConfig.h"
#include "platform/Paths.h"

namespace {

TEST(LauncherConfig, DefaultsWithoutFile) {
    TempDir dir;
    catalog::LauncherConfig config = catalog::LauncherConfig::Load(dir.dir());
    catalog::LauncherConfig defaults;
    EXPECT_EQ(config.serverHost, defaults.serverHost);
    EXPECT_EQ(config.serverPort, 3130);
    EXPECT_EQ(config.removalMarker, "8053");
    EXPECT_EQ(config.productUrl, defaults.productUrl);
}

TEST(LauncherConfig, FileOverridesWhatItNames) {
    TempDir dir;
    dir.Write("launcher.ini",
              "[server]\nhost=data.example\nport=4000\n[web]\nproduct=http://p.example/\n"
              "download=http://d.example//\n");
    catalog::LauncherConfig config = catalog::LauncherConfig::Load(dir.dir());
    EXPECT_EQ(config.serverHost, "data.example");
    EXPECT_EQ(config.serverPort, 4000);
    EXPECT_EQ(config.removalMarker, "8053");
    EXPECT_EQ(config.productUrl, "http://p.example");
    EXPECT_EQ(config.downloadUrl, "http://d.example");
    EXPECT_EQ(config.forumUrl, catalog::LauncherConfig().forumUrl);
}

TEST(LauncherConfig, PortOutOfRangeKeepsTheDefault) {
    for (const char* port : {"0", "65536", "x", "-1"}) {
        TempDir dir;
        dir.Write("launcher.ini", std::string("[server]\nport=") + port + "\n");
        EXPECT_EQ(catalog::LauncherConfig::Load(dir.dir()).serverPort, 3130) << port;
    }
}

#ifndef _WIN32
TEST(ProgramDirectory, OptionThenEnvironmentThenExecutable) {
    const char* saved = std::getenv("RAVIK_HOME");
    std::string savedValue = saved ? saved : "";
    setenv("RAVIK_HOME", "/from/env", 1);
    EXPECT_EQ(catalog::ProgramDirectory("/from/option"), "/from/option/");
    EXPECT_EQ(catalog::ProgramDirectory(""), "/from/env/");
    setenv("RAVIK_HOME", "", 1);
    EXPECT_EQ(catalog::ProgramDirectory(""), platform::ExecutableDirectory());
    EXPECT_EQ(catalog::ProgramDirectory("rel/dir"),
              (std::filesystem::current_path() / "rel/dir").string() + "/");
    if (saved) {
        setenv("RAVIK_HOME", savedValue.c_str(), 1);
    } else {
        unsetenv("RAVIK_HOME");
    }
}
#endif

}  // namespace
