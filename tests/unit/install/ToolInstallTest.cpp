#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "MarkerProgram.h"
#include "TempDir.h"
#include "ZipBuilder.h"
#include "install/ToolInstall.h"
#include "platform/Paths.h"

using install::InstallArchive;
namespace fs = std::filesystem;

namespace {

// Every regular file below `root`, relative to it, with '/' between the folders (UTF-8).
std::set<std::string> FilesBelow(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_directory()) {
            const std::u8string relative = fs::relative(e.path(), root).generic_u8string();
            files.emplace(relative.begin(), relative.end());
        }
    }
    return files;
}

// Waits (without judging how long it took) for a file a started program writes.
bool AppearsSoon(const fs::path& path) {
    for (int i = 0; i < 200 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(path);
}

class ToolInstallTest : public ::testing::Test {
  protected:
    // Writes ToolDownload/7.zip below the program directory and installs it into
    // LocalGameTool/7.
    job::Result Install(const std::vector<ziptest::Item>& items) {
        temp_.Write("ToolDownload/7.zip", ziptest::Build(items));
        return InstallArchive(install::ToolArchivePath(temp_.dir(), 7), InstallDir());
    }
    std::string InstallDir() const { return install::ToolInstallDirectory(temp_.dir(), 7); }
    std::string Installed(const std::string& relative) const {
        return temp_.Read("LocalGameTool/7/" + relative);
    }
    // Everything below the program directory except the archive itself.
    std::set<std::string> Written() const {
        auto files = FilesBelow(temp_.path());
        files.erase("ToolDownload/7.zip");
        return files;
    }

    TempDir temp_;
};

TEST(ToolPaths, AreBuiltOnTheProgramDirectory) {
    // Written with '/', compared in the native form the core builds.
    auto native = [](std::string path) {
        std::replace(path.begin(), path.end(), '/', platform::kSeparator);
        return path;
    };
    const std::string p = native("/p/");
    EXPECT_EQ(install::ToolArchivePath(p, 123), native("/p/ToolDownload/123.zip"));
    EXPECT_EQ(install::ToolInstallDirectory(p, 123), native("/p/LocalGameTool/123"));
    EXPECT_EQ(install::ToolProgramPath(p, 123, "bin\\run.exe"),
              native("/p/LocalGameTool/123/bin/run.exe"));
    // A program name from the catalog never leads out of the tool's folder.
    for (const char* escaping :
         {"../../bin/sh", "..\\x.exe", "/bin/sh", "C:\\Windows\\x.exe", "a/../../b"}) {
        EXPECT_EQ(install::ToolProgramPath("/p/", 123, escaping), "") << escaping;
    }
}

TEST_F(ToolInstallTest, StripsTheFirstComponentOfEveryName) {
    auto result =
        Install({ziptest::Dir("Tool/"), ziptest::Dir("Tool/bin/"),
                 ziptest::File("Tool/bin/a.exe", "exe"), ziptest::File("top.txt", "top"),
                 ziptest::File("docs/readme.txt", "readme"), ziptest::Dir("Tool/empty/")});
    ASSERT_TRUE(result.Ok()) << result.reason;
    EXPECT_EQ(Installed("bin/a.exe"), "exe");
    EXPECT_EQ(Installed("top.txt"), "top");
    EXPECT_EQ(Installed("readme.txt"), "readme");
    EXPECT_TRUE(fs::is_directory(InstallDir() + "/empty"));
    EXPECT_FALSE(fs::exists(InstallDir() + "/Tool"));
    EXPECT_EQ(Written(),
              (std::set<std::string>{"LocalGameTool/7/bin/a.exe", "LocalGameTool/7/top.txt",
                                     "LocalGameTool/7/readme.txt"}));
}

TEST_F(ToolInstallTest, NamesThatCleaningMakesSafeInstall) {
    struct Case {
        const char* entry;
        const char* lands;  // below the install directory
    } cases[] = {
        {"C:\\x\\a.exe", "x/a.exe"},  // cleaned to x\a.exe, which has no "/" to strip
        {"/etc/a", "a"},              // cleaned to etc/a
        {"dir\\..\\b.txt", "b.txt"},
        {"a/b/../c.txt", "c.txt"},
        {"T/sub\\deep\\d.txt", "sub/deep/d.txt"},
    };
    std::vector<ziptest::Item> items;
    for (const auto& c : cases) {
        items.push_back(ziptest::File(c.entry, c.entry));
    }
    auto result = Install(items);
    ASSERT_TRUE(result.Ok()) << result.reason;
    for (const auto& c : cases) {
        EXPECT_EQ(Installed(c.lands), c.entry);
    }
}

TEST_F(ToolInstallTest, HostileEntriesFailTheInstallAndWriteNothingOutside) {
    const std::string outside = (temp_.path() / "outside.txt").string();
    struct Case {
        const char* what;
        ziptest::Item item;
    } cases[] = {
        {"parent climb", ziptest::File("../evil", "e")},
        {"parent climb with backslash", ziptest::File("..\\evil", "e")},
        {"climb past the top folder", ziptest::File("x/../../evil", "e")},
        {"climb hidden by the top-folder strip", ziptest::File("../LocalGameTool/evil", "e")},
        {"absolute after the strip", ziptest::File("T/" + outside, "e")},
        {"drive after the strip", ziptest::File("T/C:/evil", "e")},
        {"absolute symbolic link", ziptest::Symlink("T/link", "/etc/passwd")},
        {"relative symbolic link", ziptest::Symlink("T/link", "../../../outside.txt")},
    };
    for (const auto& c : cases) {
        TempDir temp;
        temp.Write("a.zip", ziptest::Build({ziptest::File("T/first.txt", "1"), c.item,
                                            ziptest::File("T/after.txt", "2")}));
        auto result = InstallArchive(temp / "a.zip", temp / "LocalGameTool/7");
        EXPECT_FALSE(result.Ok()) << c.what;
        EXPECT_NE(result.reason, "") << c.what;
        // Nothing of the archive stays, not even the entries before the hostile one.
        EXPECT_EQ(FilesBelow(temp.path()), std::set<std::string>{"a.zip"}) << c.what;
        EXPECT_TRUE(fs::is_empty(temp.path() / "LocalGameTool")) << c.what;
        EXPECT_FALSE(fs::exists(outside)) << c.what;
        EXPECT_FALSE(fs::exists("/etc/a")) << c.what;
    }
}

TEST_F(ToolInstallTest, ABadEntryFailsTheInstallAndLeavesNothingOfIt) {
    struct Case {
        const char* what;
        std::function<void(ziptest::Item&)> damage;
    } cases[] = {
        {"crc mismatch", [](auto& i) { i.crc = 7; }},
        {"local header disagrees", [](auto& i) { i.localMethod = 0; }},
        {"encrypted", [](auto& i) { i.flags = 1; }},
        {"claims 4 GB from nothing",
         [](auto& i) {
             i.compressed = "";
             i.uncompressedSize = 0xFFFF0000u;
         }},
    };
    for (const auto& c : cases) {
        TempDir temp;
        auto bad = ziptest::File("T/bad.bin", std::string(5000, 'b'));
        c.damage(bad);
        temp.Write("a.zip", ziptest::Build({ziptest::File("T/1.txt", "one"), bad,
                                            ziptest::File("T/2.txt", "two")}));
        temp.Write("LocalGameTool/7/user.cfg", "settings");
        auto result = InstallArchive(temp / "a.zip", temp / "LocalGameTool/7");
        EXPECT_FALSE(result.Ok()) << c.what;
        EXPECT_EQ(FilesBelow(temp.path() / "LocalGameTool"), std::set<std::string>{"7/user.cfg"})
            << c.what;
        EXPECT_EQ(temp.Read("LocalGameTool/7/user.cfg"), "settings") << c.what;
    }
}

TEST_F(ToolInstallTest, ArchivesThatCannotBeReadFail) {
    std::string good = ziptest::Build(
        {ziptest::File("T/a.txt", std::string(3000, 'a')), ziptest::File("T/b.txt", "b")});
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"error page", "<html><body>500 Internal Server Error</body></html>"},
        {"empty file", ""},
        {"cut in half", good.substr(0, good.size() / 2)},
        {"directory record cut", good.substr(0, good.size() - 10)},
        {"last entry cut", good.substr(0, good.size() - 60)},
    };
    for (const auto& c : cases) {
        TempDir temp;
        temp.Write("a.zip", c.bytes);
        EXPECT_FALSE(InstallArchive(temp / "a.zip", temp / "LocalGameTool/7").Ok()) << c.what;
    }
    EXPECT_FALSE(InstallArchive(temp_ / "missing.zip", InstallDir()).Ok());
    EXPECT_FALSE(InstallArchive("", InstallDir()).Ok());
    temp_.Write("a.zip", good);
    EXPECT_FALSE(InstallArchive(temp_ / "a.zip", "").Ok());
}

TEST_F(ToolInstallTest, AnEmptyArchiveInstalls) {
    auto result = Install({});
    EXPECT_TRUE(result.Ok()) << result.reason;
    EXPECT_TRUE(fs::is_directory(temp_.path() / "LocalGameTool"));
}

TEST_F(ToolInstallTest, ReinstallingReplacesSameNamesAndKeepsOthers) {
    ASSERT_TRUE(
        Install({ziptest::File("T/a.txt", "first"), ziptest::File("T/old.txt", "old")}).Ok());
    temp_.Write("LocalGameTool/7/user.cfg", "settings");
    ASSERT_TRUE(Install({ziptest::File("T/a.txt", "second")}).Ok());
    EXPECT_EQ(Installed("a.txt"), "second");
    EXPECT_EQ(Installed("old.txt"), "old");
    EXPECT_EQ(Installed("user.cfg"), "settings");
}

TEST_F(ToolInstallTest, AReadOnlyExistingFileFailsTheInstall) {
    temp_.Write("LocalGameTool/7/a.txt", "kept");
    fs::permissions(InstallDir() + "/a.txt", fs::perms::all, fs::perm_options::remove);
    fs::permissions(InstallDir() + "/a.txt", fs::perms::owner_read, fs::perm_options::add);
    EXPECT_FALSE(Install({ziptest::File("T/a.txt", "new")}).Ok());
    EXPECT_EQ(Installed("a.txt"), "kept");
}

// Entries that expand far beyond their compressed size (a zip bomb) are added up before the
// extraction: beyond the room on the disk nothing is written at all, while an archive that
// fits installs with the same room.
TEST_F(ToolInstallTest, AnArchiveExpandingBeyondTheRoomIsRefusedBeforeWriting) {
    const std::string zeros(16 << 20, '\0');
    std::vector<ziptest::Item> bomb;
    for (int i = 0; i < 8; ++i) {
        bomb.push_back(ziptest::File("T/" + std::to_string(i) + ".bin", zeros));
    }
    temp_.Write("bomb.zip", ziptest::Build(bomb));
    temp_.Write("small.zip", ziptest::Build({ziptest::File("T/a.txt", "small")}));
    // About 4 MiB of room: far less than the bomb's 128 MiB, plenty for the small archive.
    const std::uint64_t free = install::RoomOnDisk(temp_.dir(), 0);
    const std::uint64_t reserve = free > (4u << 20) ? free - (4u << 20) : 0;

    auto result = InstallArchive(temp_ / "bomb.zip", InstallDir(), nullptr, reserve);
    EXPECT_EQ(result.code, job::Code::WriteFailed) << result.reason;
    EXPECT_EQ(result.error, std::make_error_code(std::errc::no_space_on_device));
    EXPECT_TRUE(fs::is_empty(temp_.path() / "LocalGameTool"));

    ASSERT_TRUE(InstallArchive(temp_ / "small.zip", InstallDir(), nullptr, reserve).Ok());
    EXPECT_EQ(Installed("a.txt"), "small");
}

// A tool whose archive holds read-only files installs again: a read-only file that already
// holds the new bytes stays as it is. One with other bytes still stops the install, which then
// changes nothing.
TEST_F(ToolInstallTest, ReadOnlyFilesOfTheSameArchiveDoNotStopAnotherInstall) {
    auto readOnly = [](std::string data) {
        auto item = ziptest::File("T/ro.txt", std::move(data));
        item.external = (0100444u << 16) | 0x01;  // read-only
        return item;
    };
    ASSERT_TRUE(Install({readOnly("same"), ziptest::File("T/a.txt", "first")}).Ok());
    auto again = Install({readOnly("same"), ziptest::File("T/a.txt", "second")});
    ASSERT_TRUE(again.Ok()) << again.reason;
    EXPECT_EQ(Installed("a.txt"), "second");
    EXPECT_FALSE(Install({readOnly("changed"), ziptest::File("T/a.txt", "third")}).Ok());
    EXPECT_EQ(Installed("ro.txt"), "same");
    EXPECT_EQ(Installed("a.txt"), "second");
    EXPECT_EQ(Written(),
              (std::set<std::string>{"LocalGameTool/7/a.txt", "LocalGameTool/7/ro.txt"}));
}

TEST_F(ToolInstallTest, ACancelledInstallStopsBeforeTheNextEntry) {
    temp_.Write("a.zip", ziptest::Build({ziptest::File("T/a.txt", "a")}));
    std::atomic<bool> cancel{true};
    auto result = InstallArchive(temp_ / "a.zip", InstallDir(), &cancel);
    EXPECT_FALSE(result.Ok());
    EXPECT_FALSE(fs::exists(InstallDir() + "/a.txt"));
}

TEST_F(ToolInstallTest, InstalledProgramsStartInTheirOwnDirectory) {
    const std::string program = markerprogram::FileName("run");
    ASSERT_TRUE(Install({ziptest::Program("T/bin/" + program, markerprogram::Bytes()),
                         ziptest::File("T/data.txt", "not a program")})
                    .Ok());
    EXPECT_TRUE(
        install::RunInstalledTool(install::ToolProgramPath(temp_.dir(), 7, "bin/" + program)));
    ASSERT_TRUE(AppearsSoon(temp_.PathOf("LocalGameTool/7/bin/started")));
    EXPECT_EQ(Installed("bin/started"), temp_ / "LocalGameTool/7/bin" + "\n");
    EXPECT_FALSE(install::RunInstalledTool(install::ToolProgramPath(temp_.dir(), 7, "data.txt")));
    EXPECT_FALSE(
        install::RunInstalledTool(install::ToolProgramPath(temp_.dir(), 7, "missing.exe")));
}

TEST_F(ToolInstallTest, AProgramGivenRelativeToTheCurrentDirectoryStartsToo) {
    const std::string program = markerprogram::FileName("run");
    ASSERT_TRUE(Install({ziptest::Program("T/bin/" + program, markerprogram::Bytes())}).Ok());
    const fs::path previous = fs::current_path();
    fs::current_path(temp_.path());
    const bool started = install::RunInstalledTool("LocalGameTool/7/bin/" + program);
    fs::current_path(previous);
    EXPECT_TRUE(started);
    ASSERT_TRUE(AppearsSoon(temp_.PathOf("LocalGameTool/7/bin/started")));
    EXPECT_EQ(Installed("bin/started"), temp_ / "LocalGameTool/7/bin" + "\n");
}

TEST(ToolDirectories, CreateDirectoryPathMakesEveryLevel) {
    TempDir temp;
    EXPECT_TRUE(install::CreateDirectoryPath(temp / "a/b/c"));
    EXPECT_TRUE(install::IsDirectory(temp / "a/b/c"));
    EXPECT_TRUE(install::CreateDirectoryPath(temp / "a/b/c"));
    temp.Write("file", "x");
    EXPECT_FALSE(install::CreateDirectoryPath(temp / "file/sub"));
    EXPECT_FALSE(install::IsDirectory(temp / "file"));
    EXPECT_FALSE(install::IsDirectory(temp / "missing"));
}

}  // namespace
