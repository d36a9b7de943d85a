#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "ScopedEnv.h"
#include "TempDir.h"
#include "ZipBuilder.h"
#include "install/ZipArchive.h"
#include "platform/Paths.h"

using install::ZipArchive;
using install::ZipEntry;
using install::ZipResult;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kUnixToFileTime = 11644473600LL;

std::uint64_t FileTime(std::int64_t unixSeconds) {
    return static_cast<std::uint64_t>((unixSeconds + kUnixToFileTime) * 10000000LL);
}

// 2021-03-04 05:06:08 as written by ZipBuilder, read in UTC+8: 2021-03-03 21:06:08 UTC.
constexpr std::int64_t kDosTimeInUtc = 1614805568;

class ZipArchiveTest : public ::testing::Test {
  protected:
    // Entry times are local times; pin the zone so the expected instants are fixed.
    ScopedEnv zone_{"TZ", "CST-8"};

    // Writes the archive, opens it and points it at out/.
    ZipArchive& Open(const std::vector<ziptest::Item>& items) {
        temp_.Write("a.zip", ziptest::Build(items));
        EXPECT_EQ(archive_.OpenArchive(temp_ / "a.zip"), ZipResult::Ok);
        EXPECT_EQ(archive_.SetBaseDirectory(temp_ / "out"), ZipResult::Ok);
        return archive_;
    }
    ZipEntry Describe(std::int64_t index) {
        ZipEntry entry;
        EXPECT_EQ(archive_.GetEntry(index, entry), ZipResult::Ok);
        return entry;
    }
    std::string Out(const std::string& relative) const { return temp_.Read("out/" + relative); }
    bool Exists(const std::string& relative) const {
        return fs::exists(temp_.PathOf("out/" + relative));
    }

    TempDir temp_;
    ZipArchive archive_;
};

TEST(ZipNameCleaning, DropsDrivesLeadingSeparatorsAndClimbs) {
    struct Case {
        const char* raw;
        const char* cleaned;
    } cases[] = {
        {"C:\\x\\a.exe", "x\\a.exe"},
        {"/etc/a", "etc/a"},
        {"dir\\..\\b.txt", "b.txt"},
        {"a/b/../c.txt", "c.txt"},
        {"//server/share/f", "server/share/f"},
        {"C:/../x", "../x"},
        {"D:C:\\x", "x"},
        {"a\\../b/..\\c", "c"},
        {"x/../../evil", "../evil"},
        {"../evil", "../evil"},
        {"..\\evil", "..\\evil"},
        {"dir/..", "dir/.."},
        {"中:x.txt", "x.txt"},
        {"\xE6:x.txt", "x.txt"},  // an invalid byte is one character, so this is a drive too
        {"plain.txt", "plain.txt"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ZipArchive::CleanName(c.raw), c.cleaned) << c.raw;
    }
}

TEST(ZipNameCleaning, TellsNamesThatLeaveTheBase) {
    struct Case {
        const char* name;
        bool escapes;
    } cases[] = {
        {"../evil", true},      {"..\\evil", true},    {"a/../../b", true}, {"a/..", true},
        {"..", true},           {"/etc/passwd", true}, {"\\x", true},       {"C:x", true},
        {"a/b/c.txt", false},   {"..a/b", false},      {"a../b", false},    {"a/.../b", false},
        {"a\\b\\c.exe", false}, {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ZipArchive::EscapesBase(c.name), c.escapes) << c.name;
    }
}

TEST_F(ZipArchiveTest, AttributesFollowTheHostThatMadeTheArchive) {
    struct Case {
        std::uint8_t host;
        std::uint32_t external;
        std::uint32_t attributes;
        bool executable;
    } cases[] = {
        {ziptest::kHostUnix, 0x81A40000, install::kAttrArchive, false},  // 0644
        {ziptest::kHostUnix, 0x81240000, install::kAttrArchive | install::kAttrReadOnly, false},
        {ziptest::kHostUnix, 0x81ED0000, install::kAttrArchive, true},  // 0755
        {ziptest::kHostUnix, 0x41ED0000, install::kAttrArchive | install::kAttrDirectory, false},
        {ziptest::kHostDos, 0x21, install::kAttrArchive | install::kAttrReadOnly, false},
        {ziptest::kHostNtfs, 0x26,
         install::kAttrArchive | install::kAttrHidden | install::kAttrSystem, false},
        {ziptest::kHostNtfs, 0xFFFF00C0, 0, false},  // high bits mean nothing for DOS hosts
        {14, 0x10, install::kAttrDirectory, false},
        {7, 0x01, install::kAttrReadOnly, false},
    };
    std::vector<ziptest::Item> items;
    for (const auto& c : cases) {
        auto item = ziptest::File(std::to_string(items.size()) + ".bin", "x");
        item.host = c.host;
        item.external = c.external;
        items.push_back(item);
    }
    Open(items);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ZipEntry entry = Describe(static_cast<std::int64_t>(i));
        EXPECT_EQ(entry.attributes, cases[i].attributes) << i;
        EXPECT_EQ(entry.IsExecutable(), cases[i].executable) << i;
    }
}

TEST_F(ZipArchiveTest, NamesAreReadInTheAnsiCodePageUnlessMarkedUtf8) {
    const std::string gbk = "\xb9\xa4\xbe\xdf/\xcb\xb5\xc3\xf7.txt";  // 工具/说明.txt in GBK
    auto ansi = ziptest::File(gbk, "a");
    auto utf8 = ziptest::File("工具/说明.txt", "u");
    utf8.flags = 0x0800;
    // A GBK trail byte that equals "\\" must not be taken for a separator.
    auto trail = ziptest::File("\xb1\x5c.txt", "t");  // one character whose second byte is 0x5C
    Open({ansi, utf8, trail});
    EXPECT_EQ(Describe(0).name, "工具/说明.txt");
    EXPECT_EQ(Describe(1).name, "工具/说明.txt");
    EXPECT_EQ(Describe(2).name, "盶.txt");
    ASSERT_EQ(archive_.ExtractEntry(2, Describe(2).name), ZipResult::Ok);
    EXPECT_EQ(Out("盶.txt"), "t");
}

TEST_F(ZipArchiveTest, FolderNamesEndingInASeparatorAreFoldersWhateverTheirAttributes) {
    auto folder = ziptest::File("Tool/sub/", "", 0);
    folder.host = ziptest::kHostDos;
    folder.external = 0;
    auto file = ziptest::File("Tool/sub/a.txt", "a");
    Open({folder, file});
    EXPECT_TRUE(Describe(0).IsDirectory());
    ASSERT_EQ(archive_.ExtractEntry(0, "sub/"), ZipResult::Ok);
    EXPECT_TRUE(fs::is_directory(temp_.path() / "out/sub"));
}

TEST_F(ZipArchiveTest, TimesComeFromTheLocalDosDateAndTheFirstUtBlock) {
    const std::uint64_t dos = FileTime(kDosTimeInUtc);
    struct Case {
        std::string extra;
        std::uint64_t write, access, creation;
    } cases[] = {
        {"", dos, dos, dos},
        {ziptest::UtBlock(1, {1000000000}), FileTime(1000000000), dos, dos},
        {ziptest::UtBlock(7, {1000000000, 1100000000, 1200000000}), FileTime(1000000000),
         FileTime(1100000000), FileTime(1200000000)},
        {ziptest::UtBlock(2, {1100000000}), dos, FileTime(1100000000), dos},
        // Another block first, then two UT blocks: only the first UT block counts.
        {std::string("\x0a\x00\x04\x00wxyz", 8) + ziptest::UtBlock(1, {1000000000}) +
             ziptest::UtBlock(1, {1200000000}),
         FileTime(1000000000), dos, dos},
        // A UT block that claims more times than it holds gives only those it holds.
        {std::string("UT\x05\x00\x07\x00\xca\x9a\x3b", 9), FileTime(1000000000), dos, dos},
    };
    std::vector<ziptest::Item> items;
    for (const auto& c : cases) {
        auto item = ziptest::File("t" + std::to_string(items.size()), "x");
        item.localExtra = c.extra;
        items.push_back(item);
    }
    Open(items);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ZipEntry entry = Describe(static_cast<std::int64_t>(i));
        EXPECT_EQ(entry.writeTime, cases[i].write) << i;
        EXPECT_EQ(entry.accessTime, cases[i].access) << i;
        EXPECT_EQ(entry.creationTime, cases[i].creation) << i;
    }
}

TEST_F(ZipArchiveTest, IndexMinusOneCountsAndBadIndexesClearTheDescription) {
    Open({ziptest::File("a", "1"), ziptest::File("b", "22")});
    EXPECT_EQ(Describe(-1).index, 2);
    EXPECT_EQ(Describe(1).name, "b");
    EXPECT_EQ(Describe(0).uncompressedSize, 1u);  // walking back to an earlier entry works
    for (std::int64_t bad : {-2, 2, 100}) {
        ZipEntry entry = Describe(1);
        EXPECT_EQ(archive_.GetEntry(bad, entry), ZipResult::BadArgument) << bad;
        EXPECT_EQ(entry.index, 0);
        EXPECT_EQ(entry.name, "");
        EXPECT_EQ(entry.uncompressedSize, 0u);
        EXPECT_EQ(archive_.ExtractEntry(bad, "x"), ZipResult::BadArgument) << bad;
    }
}

TEST_F(ZipArchiveTest, ExtractsStoredDeflatedAndEmptyEntriesWithTheirTimes) {
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>((i * 7919) % 251);
    }
    auto stamped = ziptest::File("dir/stamped.txt", "abc");
    stamped.localExtra = ziptest::UtBlock(1, {1234567890});
    Open({ziptest::File("stored.bin", big, 0), ziptest::File("deflated.bin", big, 8),
          ziptest::File("empty.txt", "", 0), ziptest::File("emptyz.txt", "", 8), stamped,
          ziptest::File("a\\b\\win.txt", "win")});
    for (std::int64_t i = 0; i < 6; ++i) {
        ASSERT_EQ(archive_.ExtractEntry(i, Describe(i).name), ZipResult::Ok) << i;
    }
    EXPECT_EQ(Out("stored.bin"), big);
    EXPECT_EQ(Out("deflated.bin"), big);
    EXPECT_TRUE(Exists("empty.txt"));
    EXPECT_EQ(fs::file_size(temp_.path() / "out/emptyz.txt"), 0u);
    EXPECT_EQ(Out("dir/stamped.txt"), "abc");
    EXPECT_EQ(Out("a/b/win.txt"), "win");
    struct stat st {};
    ASSERT_EQ(stat((temp_ / "out/dir/stamped.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1234567890);
    ASSERT_EQ(stat((temp_ / "out/empty.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, kDosTimeInUtc);
}

TEST_F(ZipArchiveTest, ReplacesExistingFilesButNotReadOnlyOnes) {
    temp_.Write("out/old.txt", "old contents that are longer");
    temp_.Write("out/locked.txt", "locked");
    fs::permissions(temp_.path() / "out/locked.txt",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    Open({ziptest::File("old.txt", "new"), ziptest::File("locked.txt", "new")});
    EXPECT_EQ(archive_.ExtractEntry(0, "old.txt"), ZipResult::Ok);
    EXPECT_EQ(Out("old.txt"), "new");
    EXPECT_EQ(archive_.ExtractEntry(1, "locked.txt"), ZipResult::CannotOpen);
    EXPECT_EQ(Out("locked.txt"), "locked");
}

TEST_F(ZipArchiveTest, KeepsTheReadOnlyAttribute) {
    auto readOnly = ziptest::File("ro.txt", "ro");
    readOnly.external = 0100444u << 16;
    auto dosReadOnly = ziptest::File("dos.txt", "dos");
    dosReadOnly.host = ziptest::kHostDos;
    dosReadOnly.external = 0x21;
    Open({readOnly, dosReadOnly, ziptest::File("plain.txt", "p")});
    for (std::int64_t i = 0; i < 3; ++i) {
        ASSERT_EQ(archive_.ExtractEntry(i, Describe(i).name), ZipResult::Ok) << i;
    }
    auto perms = [&](const char* name) {
        return fs::status(temp_.path() / "out" / name).permissions();
    };
    const auto anyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    EXPECT_EQ(perms("ro.txt") & anyWrite, fs::perms::none);
    EXPECT_EQ(perms("dos.txt") & fs::perms::owner_write, fs::perms::none);
    EXPECT_NE(perms("plain.txt") & fs::perms::owner_write, fs::perms::none);
}

TEST_F(ZipArchiveTest, KeepsExecuteBits) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no execute bits";
#endif
    Open({ziptest::Program("run.sh", "#!/bin/sh\n"), ziptest::File("plain.txt", "p")});
    for (std::int64_t i = 0; i < 2; ++i) {
        ASSERT_EQ(archive_.ExtractEntry(i, Describe(i).name), ZipResult::Ok) << i;
    }
    auto perms = [&](const char* name) {
        return fs::status(temp_.path() / "out" / name).permissions();
    };
    EXPECT_NE(perms("run.sh") & fs::perms::owner_exec, fs::perms::none);
    EXPECT_EQ(perms("plain.txt") & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(ZipArchiveTest, DamagedEntriesFailWithTheirCode) {
    const std::string data(100000, 'z');
    struct Case {
        const char* what;
        std::function<void(ziptest::Item&)> damage;
        ZipResult expected;
    } cases[] = {
        {"local signature", [](auto& i) { i.localSignature = 0x08074b50; },
         ZipResult::BadLocalHeader},
        {"local method", [](auto& i) { i.localMethod = 0; }, ZipResult::BadLocalHeader},
        {"local crc", [](auto& i) { i.localCrc = 1; }, ZipResult::BadLocalHeader},
        {"local name length", [](auto& i) { i.localName = "longer-name.bin"; },
         ZipResult::BadLocalHeader},
        {"unknown method", [](auto& i) { i.method = 12; }, ZipResult::BadLocalHeader},
        {"crc of other data", [](auto& i) { i.crc = 0x12345678; }, ZipResult::ReadFailed},
        {"encrypted", [](auto& i) { i.flags = 1; }, ZipResult::PasswordMismatch},
        {"garbage deflate", [](auto& i) { i.compressed = std::string(64, '\xff'); },
         ZipResult::ReadFailed},
        // Zip bombs: the header claims far more than the data holds, or the data inflates to far
        // more than the header claims. Neither may write beyond the declared size.
        {"stored, 0 bytes claiming 4 GB",
         [](auto& i) {
             i.method = 0;
             i.data.clear();
             i.crc = 0;
             i.uncompressedSize = 0xFFFF0000u;
         },
         ZipResult::ReadFailed},
        {"deflated, empty stream claiming 4 GB",
         [](auto& i) {
             i.data.clear();
             i.crc = 0;
             i.uncompressedSize = 0xFFFF0000u;
         },
         ZipResult::ReadFailed},
        {"no data at all claiming 4 GB",
         [](auto& i) {
             i.compressed = "";
             i.uncompressedSize = 0xFFFF0000u;
         },
         ZipResult::ReadFailed},
        {"inflates beyond its size", [](auto& i) { i.uncompressedSize = 1000; },
         ZipResult::ReadFailed},
    };
    for (const auto& c : cases) {
        TempDir temp;
        auto item = ziptest::File("entry.bin", data);
        c.damage(item);
        temp.Write("a.zip", ziptest::Build({item}));
        ZipArchive archive;
        ASSERT_EQ(archive.OpenArchive(temp / "a.zip"), ZipResult::Ok) << c.what;
        archive.SetBaseDirectory(temp / "out");
        EXPECT_EQ(archive.ExtractEntry(0, "entry.bin"), c.expected) << c.what;
        // Damaged data never stays behind as if it were the file.
        EXPECT_FALSE(fs::exists(temp.path() / "out/entry.bin")) << c.what;
    }
}

TEST_F(ZipArchiveTest, RefusesLinksAndNamesThatLeaveTheBase) {
    Open({ziptest::Symlink("abs", "/etc/passwd"), ziptest::Symlink("rel", "../../x"),
          ziptest::File("../evil", "e"), ziptest::File("x/../../evil2", "e"),
          ziptest::File("ok.txt", "ok")});
    EXPECT_EQ(archive_.ExtractEntry(0, "abs"), ZipResult::UnsafeEntry);
    EXPECT_EQ(archive_.ExtractEntry(1, "rel"), ZipResult::UnsafeEntry);
    EXPECT_EQ(archive_.ExtractEntry(2, "evil"), ZipResult::UnsafeEntry);  // even under a safe name
    EXPECT_EQ(archive_.ExtractEntry(3, "evil2"), ZipResult::UnsafeEntry);
    for (const char* bad :
         {"../ok.txt", "/tmp/ok.txt", "a/../../ok.txt", "C:ok.txt", "..\\ok.txt"}) {
        EXPECT_EQ(archive_.ExtractEntry(4, bad), ZipResult::UnsafeEntry) << bad;
    }
    EXPECT_FALSE(fs::exists(temp_.path() / "evil"));
    EXPECT_FALSE(fs::exists(temp_.path() / "ok.txt"));
    EXPECT_FALSE(fs::exists(temp_.path() / "out/abs"));
    EXPECT_EQ(archive_.ExtractEntry(4, "ok.txt"), ZipResult::Ok);
}

TEST(ZipArchiveOpen, RefusesWhatIsNotAReadableArchive) {
    TempDir temp;
    std::string good =
        ziptest::Build({ziptest::File("a.txt", "hello"), ziptest::File("b.txt", "world")});
    temp.Write("truncated.zip", good.substr(0, good.size() / 2));
    temp.Write("text.zip", "<html>404 Not Found</html>");
    temp.Write("empty.zip", "");
    for (const char* name : {"missing.zip", "truncated.zip", "text.zip", "empty.zip"}) {
        ZipArchive archive;
        EXPECT_EQ(archive.OpenArchive(temp / name), ZipResult::CannotOpen) << name;
        EXPECT_FALSE(archive.IsOpen());
        ZipEntry entry;
        EXPECT_EQ(archive.GetEntry(-1, entry), ZipResult::BadArgument) << name;
        EXPECT_EQ(archive.CloseArchive(), ZipResult::BadArgument) << name;
    }
}

TEST(ZipArchiveOpen, OpensOnceAndClosesOnce) {
    TempDir temp;
    temp.Write("a.zip", ziptest::Build({}));
    ZipArchive archive;
    ASSERT_EQ(archive.OpenArchive(temp / "a.zip"), ZipResult::Ok);
    EXPECT_EQ(archive.OpenArchive(temp / "a.zip"), ZipResult::AlreadyOpen);
    ZipEntry entry;
    ASSERT_EQ(archive.GetEntry(-1, entry), ZipResult::Ok);
    EXPECT_EQ(entry.index, 0);
    // The base directory starts as the current directory.
    EXPECT_EQ(archive.BaseDirectory(),
              platform::WithTrailingSeparator(fs::current_path().string()));
    EXPECT_EQ(archive.CloseArchive(), ZipResult::Ok);
    EXPECT_EQ(archive.CloseArchive(), ZipResult::BadArgument);
    EXPECT_EQ(archive.OpenArchive(temp / "a.zip"), ZipResult::Ok);
}

TEST(ZipEnsureDirectory, CreatesEveryLevelAndTheBase) {
    TempDir temp;
    ZipArchive::EnsureDirectory(temp / "base/", "a/b\\c/");
    EXPECT_TRUE(fs::is_directory(temp.path() / "base/a/b/c"));
    ZipArchive::EnsureDirectory(temp / "other/", "");
    EXPECT_TRUE(fs::is_directory(temp.path() / "other"));
}

}  // namespace
