#include <gtest/gtest.h>

#include <filesystem>

#include "ScopedEnv.h"
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

TEST(ProgramDirectory, OptionThenEnvironmentThenExecutable) {
    TempDir option;
    TempDir fromEnvironment;
    ScopedEnv home("RAVIK_HOME", fromEnvironment.path().string().c_str());
    EXPECT_EQ(catalog::ProgramDirectory(option.path().string()), option.dir());
    EXPECT_EQ(catalog::ProgramDirectory(""), fromEnvironment.dir());
    {
        ScopedEnv empty("RAVIK_HOME", "");
        EXPECT_EQ(catalog::ProgramDirectory(""), platform::ExecutableDirectory());
    }
    const std::u8string relative = (std::filesystem::current_path() / "rel" / "dir").u8string();
    EXPECT_EQ(catalog::ProgramDirectory("rel/dir"),
              platform::WithTrailingSeparator(std::string(relative.begin(), relative.end())));
}

// The variable naming the user's own directory for application data.
#ifdef _WIN32
constexpr char kUserDataVariable[] = "LOCALAPPDATA";
#else
constexpr char kUserDataVariable[] = "XDG_DATA_HOME";
#endif

// A prefix with bin/ for the executable and, when installed, share/ravik with default files;
// a home directory and a user data directory (named by kUserDataVariable) beside it.
struct InstallTree {
    TempDir root;
    std::string bin = root / "prefix/bin/";
    std::string xdg = root / "xdg";
    std::string home = root / "home";

    explicit InstallTree(bool withDataDir) {
        std::filesystem::create_directories(bin);
        std::filesystem::create_directories(xdg);
        std::filesystem::create_directories(home);
        if (withDataDir) {
            root.Write("prefix/share/ravik/ToolIcon/defaultC.png", "C");
            root.Write("prefix/share/ravik/ToolIcon/defaultD.png", "D");
            root.Write("prefix/share/ravik/waitbg.jpg", "W");
        }
    }
};

TEST(DefaultProgramDirectory, PortableBesideTheExecutableInstalledPerUser) {
    struct Case {
        const char* what;
        bool dataDir;       // share/ravik beside bin/
        bool exeDirExists;  // a missing directory is not writable
        const char* xdg;    // user data variable: "abs", "rel" or nullptr (unset)
        bool hasHome;
        const char* expected;  // "exe", "xdg" or "home"
        // Follows the XDG rules for a relative or missing XDG_DATA_HOME, which Windows,
        // taking %LOCALAPPDATA% as it is, does not have.
        bool xdgRule = false;
    };
    const Case cases[] = {
        {"portable copy", false, true, "abs", true, "exe"},
        {"installed, user data directory set", true, true, "abs", true, "xdg"},
        {"installed, relative XDG_DATA_HOME ignored", true, true, "rel", true, "home", true},
        {"installed, XDG_DATA_HOME unset", true, true, nullptr, true, "home", true},
        {"executable directory not writable", false, false, "abs", true, "xdg"},
        {"installed without any home", true, true, nullptr, false, "exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
#ifdef _WIN32
        if (c.xdgRule) {
            continue;
        }
#endif
        InstallTree tree(c.dataDir);
        std::string exeDir = c.exeDirExists ? tree.bin : tree.root / "prefix/missing/";
        ScopedEnv xdg(kUserDataVariable, c.xdg == nullptr              ? nullptr
                                         : std::string(c.xdg) == "abs" ? tree.xdg.c_str()
                                                                       : "relative/data");
        ScopedEnv home("HOME", c.hasHome ? tree.home.c_str() : nullptr);

        const std::string expected = std::string(c.expected) == "exe" ? exeDir
                                     : std::string(c.expected) == "xdg"
                                         ? tree.root / "xdg/Ravik/"
                                         : tree.root / "home/.local/share/Ravik/";
        EXPECT_EQ(catalog::DefaultProgramDirectory(exeDir), expected);
        if (std::string(c.expected) != "exe") {
            EXPECT_TRUE(std::filesystem::is_directory(expected));
            EXPECT_EQ(std::filesystem::exists(expected + "ToolIcon/defaultC.png"), c.dataDir);
        }
        if (std::string(c.expected) != "xdg") {
            EXPECT_FALSE(std::filesystem::exists(tree.xdg + "/Ravik"));
        }
    }
}

TEST(DefaultProgramDirectory, SeedingAddsMissingFilesAndKeepsTheUsers) {
    InstallTree tree(true);
    ScopedEnv xdg(kUserDataVariable, tree.xdg.c_str());
    tree.root.Write("xdg/Ravik/ToolIcon/defaultC.png", "mine");
    tree.root.Write("xdg/Ravik/gamecfg.dat", "[NETGAME]\n");

    const std::string dir = catalog::DefaultProgramDirectory(tree.bin);
    ASSERT_EQ(dir, tree.root / "xdg/Ravik/");
    EXPECT_EQ(tree.root.Read("xdg/Ravik/ToolIcon/defaultC.png"), "mine");
    EXPECT_EQ(tree.root.Read("xdg/Ravik/ToolIcon/defaultD.png"), "D");
    EXPECT_EQ(tree.root.Read("xdg/Ravik/waitbg.jpg"), "W");
    EXPECT_EQ(tree.root.Read("xdg/Ravik/gamecfg.dat"), "[NETGAME]\n");
    EXPECT_FALSE(std::filesystem::exists(dir + "ToolIcon/defaultD.png.part"));

    // A default file the user deleted comes back at the next start; changed ones stay.
    std::filesystem::remove(dir + "waitbg.jpg");
    tree.root.Write("xdg/Ravik/ToolIcon/defaultD.png", "changed");
    EXPECT_EQ(catalog::DefaultProgramDirectory(tree.bin), dir);
    EXPECT_EQ(tree.root.Read("xdg/Ravik/waitbg.jpg"), "W");
    EXPECT_EQ(tree.root.Read("xdg/Ravik/ToolIcon/defaultD.png"), "changed");
}

}  // namespace

TEST(LauncherProgramFile, PortableCopyElseTheRunningProgram) {
    TempDir dir;
    EXPECT_EQ(catalog::LauncherProgramFile(dir.dir()), platform::ExecutablePath());
    const std::string launcher = std::string("Ravik_desk") + platform::kExecutableSuffix;
    dir.Write(launcher, "launcher");
    EXPECT_EQ(catalog::LauncherProgramFile(dir.dir()), dir.dir() + launcher);
}
