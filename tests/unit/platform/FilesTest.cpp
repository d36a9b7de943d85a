#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "TempDir.h"
#include "TestPaths.h"
#include "platform/Files.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& bytes) {
    platform::FileHandle f = platform::OpenFile(path, "wb");
    ASSERT_TRUE(f) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f.get()), bytes.size());
    ASSERT_TRUE(platform::FlushToDisk(f.get()));
}

std::string ReadFile(const std::string& path) {
    platform::FileHandle f = platform::OpenFile(path, "rb");
    std::string bytes;
    char buffer[256];
    for (std::size_t n; f && (n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0;) {
        bytes.append(buffer, n);
    }
    return bytes;
}

TEST(Files, ChineseFileAndFolderNamesKeepEveryCharacter) {
    TempDir dir;
    // 游戏目录/新建文件夹 and 说明.txt
    const std::string folder = Utf8Of(dir.path()) +
                               "/\xE6\xB8\xB8\xE6\x88\x8F\xE7\x9B\xAE\xE5\xBD\x95/"
                               "\xE6\x96\xB0\xE5\xBB\xBA\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9";
    const std::string name = "\xE8\xAF\xB4\xE6\x98\x8E.txt";
    ASSERT_TRUE(fs::create_directories(U8Path(folder)));
    const std::string file = folder + "/" + name;
    WriteFile(file, "\xE5\x86\x85\xE5\xAE\xB9");

    EXPECT_EQ(ReadFile(file), "\xE5\x86\x85\xE5\xAE\xB9");
    platform::FileStatus status = platform::StatusOf(file);
    EXPECT_TRUE(status.version.exists);
    EXPECT_TRUE(status.regular);
    EXPECT_EQ(status.version.size, 6u);
    EXPECT_FALSE(platform::StatusOf(folder).regular);
    // The system lists the file under the same name.
    std::vector<std::string> listed;
    for (const auto& entry : fs::directory_iterator(U8Path(folder))) {
        listed.push_back(Utf8Of(entry.path().filename()));
    }
    EXPECT_EQ(listed, std::vector<std::string>{name});
}

TEST(Files, MissingFileIsToldApart) {
    TempDir dir;
    errno = 0;
    EXPECT_FALSE(platform::OpenFile(dir / "missing.txt", "rb"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(platform::StatusOf(dir / "missing.txt").version.exists);
}

TEST(Files, OpenFileAndPathGiveTheSameVersion) {
    TempDir dir;
    WriteFile(dir / "a.ini", "[a]\nx=1\n");
    platform::FileHandle f = platform::OpenFile(dir / "a.ini", "rb");
    ASSERT_TRUE(f);
    platform::FileStatus open = platform::StatusOf(f.get());
    EXPECT_TRUE(open.regular);
    EXPECT_EQ(open.version, platform::StatusOf(dir / "a.ini").version);
}

TEST(Files, RenameOverReplacesTheFileAndChangesItsVersion) {
    TempDir dir;
    WriteFile(dir / "gamecfg.dat", "old!");
    const platform::FileVersion before = platform::StatusOf(dir / "gamecfg.dat").version;
    // Same size, written within the same second: only the file's identity tells them apart.
    WriteFile(dir / "gamecfg.dat.tmp", "new!");
    ASSERT_FALSE(platform::RenameOver(dir / "gamecfg.dat.tmp", dir / "gamecfg.dat"));

    EXPECT_EQ(ReadFile(dir / "gamecfg.dat"), "new!");
    EXPECT_FALSE(fs::exists(dir.path() / "gamecfg.dat.tmp"));
    EXPECT_NE(platform::StatusOf(dir / "gamecfg.dat").version, before);
}

TEST(Files, AnOpenFileCanStillBeMovedAndDeleted) {
    TempDir dir;
    WriteFile(dir / "client.zip", "zip");
    platform::FileHandle reader = platform::OpenFile(dir / "client.zip", "rb");
    ASSERT_TRUE(reader);
    ASSERT_FALSE(platform::RenameOver(dir / "client.zip", dir / "client.old"));
    EXPECT_EQ(ReadFile(dir / "client.old"), "zip");
    EXPECT_TRUE(fs::remove(dir.path() / "client.old"));
    // The reader goes on with the file it opened.
    char buffer[8] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, reader.get()), 3u);
    EXPECT_EQ(std::string(buffer), "zip");
}

TEST(Files, RenameOverFromAMissingFileFailsAndKeepsTheTarget) {
    TempDir dir;
    WriteFile(dir / "kept.txt", "kept");
    EXPECT_TRUE(platform::RenameOver(dir / "missing.txt", dir / "kept.txt"));
    EXPECT_EQ(ReadFile(dir / "kept.txt"), "kept");
}

}  // namespace
