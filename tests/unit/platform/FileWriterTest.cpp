#include <gtest/gtest.h>

#include "TempDir.h"
#include "TestPaths.h"
#include "platform/FileWriter.h"
#include "platform/Files.h"

namespace {

// 2020-01-02 03:04:05 UTC in the writer's 100 ns ticks since 1601, and in nanoseconds since
// 1970 as the file status reports it.
constexpr std::uint64_t kTicks = 132224078450000000ULL;
constexpr std::int64_t kUnixNanoseconds = 1577934245LL * 1000000000LL;

TEST(FileWriter, GathersWritesIntoTheFileWhateverTheBuffer) {
    for (std::size_t buffer : {0u, 4u, 1024u}) {
        TempDir dir;
        const std::string path = Utf8Of(dir.path()) + "/\xE6\xB8\xB8\xE6\x88\x8F.bin";  // 游戏
        platform::FileWriter out(buffer);
        ASSERT_TRUE(out.Create(path)) << out.Error();
        for (const char* piece : {"ab", "cdefgh", "", "i"}) {
            ASSERT_TRUE(out.Write(piece, std::char_traits<char>::length(piece)));
        }
        EXPECT_EQ(out.Written(), 9u);
        ASSERT_TRUE(out.Close()) << out.Error();
        EXPECT_EQ(dir.Read(Utf8Of(U8Path(path).filename())), "abcdefghi") << buffer;
    }
}

TEST(FileWriter, TruncateStartsTheFileOver) {
    TempDir dir;
    platform::FileWriter out(1024);
    ASSERT_TRUE(out.Create(dir / "part"));
    ASSERT_TRUE(out.Write("abc", 3));
    ASSERT_TRUE(out.Truncate());
    ASSERT_TRUE(out.Write("xy", 2));
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(dir.Read("part"), "xy");
}

TEST(FileWriter, ReplacesAFileUnlessItIsReadOnly) {
    TempDir dir;
    dir.Write("tool.exe", "old");
    platform::FileWriter out;
    ASSERT_TRUE(out.Create(dir / "tool.exe")) << out.Error();
    ASSERT_TRUE(out.Write("new", 3));
    ASSERT_TRUE(out.SetTimes(0, 0, kTicks));
    ASSERT_TRUE(out.MakeReadOnly()) << out.Error();
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(dir.Read("tool.exe"), "new");
    EXPECT_EQ(platform::StatusOf(dir / "tool.exe").version.modified, kUnixNanoseconds);

    for (bool append : {false, true}) {
        EXPECT_FALSE(append ? out.Append(dir / "tool.exe") : out.Create(dir / "tool.exe"));
        EXPECT_NE(out.Error().find("read-only"), std::string::npos) << out.Error();
        EXPECT_EQ(out.ErrorCode(), std::errc::permission_denied);
    }
    EXPECT_EQ(dir.Read("tool.exe"), "new");
}

TEST(FileWriter, AppendGoesOnAtTheEndAndCountsWhatWasThere) {
    TempDir dir;
    dir.Write("tool.zip.part", "abc");
    for (const char* name : {"tool.zip.part", "new.zip.part"}) {
        platform::FileWriter out(1024);
        ASSERT_TRUE(out.Append(dir / name)) << out.Error();
        const std::uint64_t found = out.Written();
        ASSERT_TRUE(out.Write("de", 2));
        EXPECT_EQ(out.Written(), found + 2);
        ASSERT_TRUE(out.Close());
    }
    EXPECT_EQ(dir.Read("tool.zip.part"), "abcde");
    EXPECT_EQ(dir.Read("new.zip.part"), "de");
}

TEST(FileWriter, AFileThatCannotBeMadeGivesTheSystemsError) {
    TempDir dir;
    dir.Write("file", "a plain file");
    platform::FileWriter out;
    // A file cannot stand where a folder is needed, whoever runs the test.
    EXPECT_FALSE(out.Create(dir / "file/sub.bin"));
    EXPECT_TRUE(out.ErrorCode()) << out.Error();
    EXPECT_NE(out.Error().find("sub.bin"), std::string::npos) << out.Error();
}

}  // namespace
