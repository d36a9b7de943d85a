#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "TempDir.h"
#include "catalog/IniFile.h"
#include "platform/CodePage.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

using catalog::IniEncoding;
using catalog::IniFile;

namespace {

struct ReadCase {
    const char* what;
    std::string text;
    const char* section;
    const char* key;
    std::size_t limit;
    std::string expected;
};

TEST(IniFileRead, TextFollowsProfileRules) {
    const std::vector<ReadCase> cases = {
        {"names ignore letter case", "[Sec]\nKey=v\n", "sEC", "kEY", 259, "v"},
        {"first key wins", "[s]\nk=1\nk=2\n", "s", "k", 259, "1"},
        {"first section wins", "[s]\na=1\n[s]\na=2\nb=3\n", "s", "a", 259, "1"},
        {"a repeated section is not read", "[s]\na=1\n[s]\nb=3\n", "s", "b", 259, "<d>"},
        {"spaces around names and value", "[ s ]\n\t k \t=  v w \t\n", "s", "k", 259, "v w"},
        {"one pair of quotes goes", "[s]\nk=\"quoted text\"\n", "s", "k", 259, "quoted text"},
        {"inner quotes stay", "[s]\nk=\"a\"b\"\n", "s", "k", 259, "a\"b"},
        {"a lone quote stays", "[s]\nk=\"half\n", "s", "k", 259, "\"half"},
        {"empty value", "[s]\nk=\n", "s", "k", 259, ""},
        {"value with '='", "[s]\nk=a=b\n", "s", "k", 259, "a=b"},
        {"CRLF lines", "[s]\r\nk=v\r\n", "s", "k", 259, "v"},
        {"no final line ending", "[s]\nk=v", "s", "k", 259, "v"},
        {"missing key", "[s]\nk=v\n", "s", "x", 259, "<d>"},
        {"missing section", "[s]\nk=v\n", "t", "k", 259, "<d>"},
        {"keys before any section belong to none", "k=v\n[s]\n", "s", "k", 259, "<d>"},
        {"a line without '=' is no key", "[s]\nk\nk=v\n", "s", "k", 259, "v"},
        {"comment lines are no keys", "[s]\n;k=c\nk=v\n", "s", "k", 259, "v"},
        {"header without ']'", "[s\nk=v\n", "s", "k", 259, "v"},
        {"value ends at NUL", std::string("[s]\nk=ab\0cd\n", 12), "s", "k", 259, "ab"},
        {"cut to the limit", "[s]\nk=abcdef\n", "s", "k", 3, "abc"},
        {"limit counts UTF-16 units", "[s]\nk=游戏桌面\n", "s", "k", 2, "游戏"},
        {"no half surrogate pair", "[s]\nk=\xF0\x9F\x98\x80\xF0\x9F\x98\x80\n", "s", "k", 3,
         "\xF0\x9F\x98\x80"},
        {"the default is cut too", "[s]\n", "s", "k", 2, "<d"},
    };
    for (const auto& c : cases) {
        IniFile file = IniFile::Parse("x.ini", c.text);
        EXPECT_EQ(file.GetString(c.section, c.key, "<d>", c.limit), c.expected) << c.what;
    }
}

// Numbered keys ("1" ... "n") have an index of their own; the same rules hold for them.
TEST(IniFileRead, NumberedKeysFollowTheSameRules) {
    std::string dense = "[s]\n100=first hundred\n";
    for (int i = 1; i <= 150; ++i) {
        dense += std::to_string(i) + "=v" + std::to_string(i) + "\n";
    }
    struct Case {
        const char* what;
        std::string text;
        uint32_t number;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"first occurrence wins", "[s]\n1=a\n2=b\n1=c\n", 1, "a"},
        {"sparse large number", "[s]\n5000000=x\n1=y\n", 5000000, "x"},
        {"dense after sparse", "[s]\n5000000=x\n1=y\n", 1, "y"},
        {"leading zero is another key", "[s]\n01=zero\n", 1, "<d>"},
        {"repeat of an early stray number", dense, 100, "first hundred"},
        {"dense run", dense, 150, "v150"},
        {"number past every key", dense, 151, "<d>"},
        {"number zero", "[s]\n0=z\n", 0, "z"},
    };
    for (const auto& c : cases) {
        IniFile file = IniFile::Parse("x.ini", c.text);
        const std::string key = std::to_string(c.number);
        EXPECT_EQ(file.GetString(file.FindSection("S"), c.number, "<d>", 259), c.expected)
            << c.what;
        EXPECT_EQ(file.GetString("s", key, "<d>", 259), c.expected) << c.what;
        EXPECT_EQ(file.HasKey(file.FindSection("s"), c.number), c.expected != "<d>") << c.what;
    }
    IniFile none = IniFile::Parse("x.ini", "[s]\n1=a\n");
    EXPECT_EQ(none.FindSection("t"), IniFile::kNoSection);
    EXPECT_EQ(none.GetInt(IniFile::kNoSection, 1u, 9), 9u);
}

TEST(IniFileRead, NumbersTakeLeadingDigits) {
    const std::vector<std::pair<std::string, uint32_t>> cases = {
        {"42", 42}, {"  42  ", 42}, {"12abc", 12},
        {"abc", 0}, {"-5", 0},      {"+5", 0},
        {"", 0},    {"\"15\"", 15}, {"4294967295", 4294967295u},
    };
    for (const auto& [value, expected] : cases) {
        IniFile file = IniFile::Parse("x.ini", "[s]\nk=" + value + "\n");
        EXPECT_EQ(file.GetInt("s", "k", 7), expected) << value;
    }
    EXPECT_EQ(IniFile::Parse("x.ini", "[s]\n").GetInt("s", "k", 7), 7u);
}

struct WriteCase {
    const char* what;
    std::string before;
    std::vector<std::vector<std::string>> sets;
    std::string after;
};

TEST(IniFileWrite, SetChangesOneKeyAndKeepsEveryOtherLine) {
    const std::vector<WriteCase> cases = {
        {"new document", "", {{"s", "k", "v"}}, "[s]\r\nk=v\r\n"},
        {"first occurrence replaced, rest kept",
         "; note\n[s]\nk=1\nk=2\nx = \"y\"\n",
         {{"s", "k", "9"}},
         "; note\n[s]\nk=9\nk=2\nx = \"y\"\n"},
        {"replaced key keeps its spelling",
         "[Sec]\nKey=1\n",
         {{"SEC", "KEY", "2"}},
         "[Sec]\nKey=2\n"},
        {"new key goes before the blank lines of its section",
         "[a]\nk=1\n\n[b]\nz=1\n",
         {{"a", "n", "2"}},
         "[a]\nk=1\nn=2\n\n[b]\nz=1\n"},
        {"new section at the end", "[a]\nk=1", {{"b", "k", "2"}}, "[a]\nk=1\n[b]\nk=2\n"},
        {"keys set one by one",
         "",
         {{"a", "1", "x"}, {"b", "1", "y"}, {"a", "2", "z"}},
         "[a]\r\n1=x\r\n2=z\r\n[b]\r\n1=y\r\n"},
        {"unknown lines and keys beyond SIZE stay",
         "[T]\r\nSIZE=1\r\n1=a\r\n2=old\r\ngarbage line\r\n",
         {{"T", "1", "b"}},
         "[T]\r\nSIZE=1\r\n1=b\r\n2=old\r\ngarbage line\r\n"},
    };
    for (const auto& c : cases) {
        IniFile file = IniFile::Parse("x.ini", c.before);
        for (const auto& s : c.sets) {
            file.Set(s[0], s[1], s[2]);
        }
        EXPECT_EQ(file.Serialize(), c.after) << c.what;
        for (const auto& s : c.sets) {
            EXPECT_EQ(file.GetString(s[0], s[1], "<d>", 259), s[2]) << c.what;
        }
    }
}

TEST(IniFileWrite, LineBreaksAndNulsNeverStartALineOfTheirOwn) {
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::string section, key, value;
        std::string readSection, readKey, readValue;
    };
    const std::vector<Case> cases = {
        {"CRLF in a value", "TITLE", "1", "x\r\n[GAMEDIR]\r\n1=/bin/sh", "TITLE", "1",
         "x  [GAMEDIR]  1=/bin/sh"},
        {"LF in a value", "ravikver", "pxtime", "78\n[system]\nautoupdate=1", "ravikver", "pxtime",
         "78 [system] autoupdate=1"},
        {"lone CR in a value", "s", "k", "a\r[system]", "s", "k", "a [system]"},
        {"NUL in a value", "s", "k", "a\0\n[system]"s, "s", "k", "a  [system]"},
        {"line break in a key", "s", "k\n[system]\nautoupdate", "1", "s", "k [system] autoupdate",
         "1"},
        {"line break in a section", "s\n[system", "autoupdate", "1", "s [system", "autoupdate",
         "1"},
    };
    for (const auto& c : cases) {
        IniFile file = IniFile::Parse("x.ini", "[s]\r\nk0=v\r\n");
        file.Set(c.section, c.key, c.value);
        const std::string bytes = file.Serialize();
        IniFile reread = IniFile::Parse("x.ini", bytes);
        EXPECT_FALSE(reread.HasSection("GAMEDIR")) << c.what;
        EXPECT_FALSE(reread.HasSection("system")) << c.what;
        EXPECT_EQ(reread.GetString(c.readSection, c.readKey, "<d>", 259), c.readValue) << c.what;
        EXPECT_EQ(file.GetString(c.readSection, c.readKey, "<d>", 259), c.readValue) << c.what;
        EXPECT_EQ(bytes.find('\0'), std::string::npos) << c.what;
    }
}

std::string Encode(const std::string& utf8, const std::string& encoding) {
    std::string out;
    EXPECT_TRUE(platform::ConvertFromUtf8(utf8, encoding, out));
    return out;
}

TEST(IniFileEncoding, WrittenBackInTheEncodingRead) {
    const std::string before = "[s]\r\nk=游戏\r\n";
    const std::string after = "[s]\r\nk=游戏\r\nn=桌面\r\n";
    struct Case {
        IniEncoding encoding;
        std::string bytesBefore;
        std::string bytesAfter;
    };
    const std::vector<Case> cases = {
        {IniEncoding::Utf8, before, after},
        {IniEncoding::Utf8Bom, "\xEF\xBB\xBF" + before, "\xEF\xBB\xBF" + after},
        {IniEncoding::Utf16LE, "\xFF\xFE" + Encode(before, "UTF-16LE"),
         "\xFF\xFE" + Encode(after, "UTF-16LE")},
        {IniEncoding::Ansi, Encode(before, "GBK"), Encode(after, "GBK")},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.Write("x.ini", c.bytesBefore);
        IniFile file = IniFile::Load(dir / "x.ini");
        EXPECT_EQ(file.Encoding(), c.encoding);
        EXPECT_EQ(file.GetString("s", "k", "", 259), "游戏");
        file.Set("s", "n", "桌面");
        ASSERT_TRUE(file.Save().ok());
        EXPECT_EQ(dir.Read("x.ini"), c.bytesAfter) << static_cast<int>(c.encoding);
        EXPECT_EQ(IniFile::Load(dir / "x.ini").GetString("s", "n", "", 259), "桌面");
    }
}

// Load, an unrelated change, save, load: every line of the file comes back byte for byte, so
// every name and value reads as before, and the file is read in the same encoding.
TEST(IniFileEncoding, SavingKeepsEveryOtherLineByteForByte) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::vector<std::string>> reads;  // section, key, value
    };
    const std::vector<Case> cases = {
        // The GBK bytes of "一" happen to be valid UTF-8; only the cut character at the end
        // makes the file ANSI. Saved as "?", the file would read as UTF-8 next time.
        {"ANSI with a cut last character",
         Encode("[s]\r\nk=一\r\nn=", "GBK") + "\xD2",
         {{"s", "k", "一"}}},
        {"ANSI with a byte invalid in GBK in a key",
         Encode("[s]\r\nk=游戏\r\n", "GBK") + "k\xFF=1\r\n" + Encode("j=桌面\r\n", "GBK"),
         {{"s", "k", "游戏"}, {"s", "j", "桌面"}}},
        {"ANSI with a byte invalid in GBK in a value",
         Encode("[s]\r\nk=游", "GBK") + "\xFF" + Encode("戏\r\nj=桌面\r\n", "GBK"),
         {{"s", "j", "桌面"}}},
        {"CR CR LF in an LF file",
         "[s]\nk=1\r\r\nj=2\n[t]\r\r\nx=3\n[u]\r\ny=4\n",
         {{"s", "k", "1\r"}, {"s", "j", "2"}, {"t", "x", "3"}, {"u", "y", "4"}}},
        {"LF lines in a CRLF file", "[s]\r\nk=1\nj=2\r\n", {{"s", "k", "1"}, {"s", "j", "2"}}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.Write("x.ini", c.bytes);
        IniFile first = IniFile::Load(dir / "x.ini");
        first.Set("other", "z", "1");
        ASSERT_TRUE(first.Save().ok()) << c.what;
        const std::string saved = dir.Read("x.ini");
        EXPECT_EQ(saved.substr(0, c.bytes.size()), c.bytes) << c.what;
        IniFile second = IniFile::Load(dir / "x.ini");
        EXPECT_EQ(second.Encoding(), first.Encoding()) << c.what;
        EXPECT_EQ(second.GetString("other", "z", "", 10), "1") << c.what;
        for (const auto& r : c.reads) {
            EXPECT_EQ(first.GetString(r[0], r[1], "<d>", 259), r[2]) << c.what << " " << r[1];
            EXPECT_EQ(second.GetString(r[0], r[1], "<d>", 259), r[2]) << c.what << " " << r[1];
        }
    }
}

TEST(IniFileSave, CreatesTheFileAndItsDirectory) {
    TempDir dir;
    IniFile file = IniFile::Load(dir / "GameTool/7.dat");
    EXPECT_FALSE(file.Exists());
    file.Set("TOOL", "SIZE", "0");
    ASSERT_TRUE(file.Save().ok());
    EXPECT_EQ(dir.Read("GameTool/7.dat"), "[TOOL]\r\nSIZE=0\r\n");
    EXPECT_TRUE(IniFile::Load(dir / "GameTool/7.dat").Exists());
}

TEST(IniFileSave, NothingToSaveWritesNothing) {
    TempDir dir;
    IniFile file = IniFile::Load(dir / "x.ini");
    EXPECT_TRUE(file.Save().ok());
    EXPECT_FALSE(std::filesystem::exists(dir / "x.ini"));
    dir.Write("x.ini", "[s]\nk=v\n");
    IniFile same = IniFile::Load(dir / "x.ini");
    same.Set("S", "K", "v");
    EXPECT_FALSE(same.Dirty()) << "the key already has that value";
}

TEST(IniFileSave, AnotherWritersKeysSurvive) {
    TempDir dir;
    dir.Write("x.ini", "[s]\nbase=1\n");
    IniFile first = IniFile::Load(dir / "x.ini");
    IniFile second = IniFile::Load(dir / "x.ini");
    first.Set("s", "a", "from first");
    second.Set("s", "b", "from second");
    second.Set("s", "base", "2");
    ASSERT_TRUE(first.Save().ok());
    ASSERT_TRUE(second.Save().ok());
    IniFile result = IniFile::Load(dir / "x.ini");
    EXPECT_EQ(result.GetString("s", "a", "", 259), "from first");
    EXPECT_EQ(result.GetString("s", "b", "", 259), "from second");
    EXPECT_EQ(result.GetString("s", "base", "", 259), "2");
}

// Whatever stops a save, the file on disk stays the previous one and no temporary file is
// left behind.
class IniFileSaveFailure : public ::testing::Test {
  protected:
    void SetUp() override { dir.Write("x.ini", previous); }
    void ExpectPreviousFileIntact() {
        EXPECT_EQ(dir.Read("x.ini"), previous);
        std::size_t entries = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            (void)e;
            ++entries;
        }
        EXPECT_EQ(entries, 1u);
    }
    IniFile Changed() {
        IniFile file = IniFile::Load(dir / "x.ini");
        file.Set("s", "k", std::string(4096, 'n'));
        return file;
    }
    TempDir dir;
    const std::string previous = "[s]\r\nk=old\r\n";
};

TEST_F(IniFileSaveFailure, ReadOnlyFile) {
    IniFile file = Changed();
    std::filesystem::permissions(dir / "x.ini", std::filesystem::perms::owner_read);
    catalog::Outcome outcome = file.Save();
    EXPECT_EQ(outcome.code, catalog::Outcome::WriteFailed);
    EXPECT_NE(outcome.reason.find("read-only"), std::string::npos);
    // The file and the cause are named for the user, not only in the reason.
    EXPECT_EQ(outcome.path, dir / "x.ini");
    EXPECT_EQ(outcome.error, std::errc::permission_denied);
    ExpectPreviousFileIntact();
}

#ifndef _WIN32
TEST_F(IniFileSaveFailure, ReadOnlyDirectory) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only directories";
    }
    IniFile file = Changed();
    std::filesystem::permissions(
        dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(file.Save().code, catalog::Outcome::WriteFailed);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    ExpectPreviousFileIntact();
}

TEST_F(IniFileSaveFailure, WriteBreaksOffHalfway) {
    IniFile file = Changed();
    // The file size limit makes the write fail part way, as a full disk would.
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    catalog::Outcome outcome = file.Save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(outcome.code, catalog::Outcome::WriteFailed);
    ExpectPreviousFileIntact();
    EXPECT_TRUE(file.Dirty());
    EXPECT_TRUE(file.Save().ok()) << "a later save still writes the change";
    EXPECT_EQ(IniFile::Load(dir / "x.ini").GetString("s", "k", "", 5000), std::string(4096, 'n'));
}
#endif

TEST(IniFileBadInput, PathThatIsADirectoryIsNeverReplaced) {
    TempDir dir;
    std::filesystem::create_directory(dir / "x.ini");
    IniFile file = IniFile::Load(dir / "x.ini");
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(file.GetString("s", "k", "d", 259), "d");
    file.Set("s", "k", "v");
    EXPECT_EQ(file.Save().code, catalog::Outcome::WriteFailed);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "x.ini"));
}

#ifndef _WIN32
TEST(IniFileBadInput, UnreadableFileIsNeverReplaced) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads files without read permission";
    }
    TempDir dir;
    dir.Write("x.ini", "[s]\nk=kept\n");
    std::filesystem::permissions(dir / "x.ini", std::filesystem::perms::none);
    IniFile file = IniFile::Load(dir / "x.ini");
    EXPECT_EQ(file.GetString("s", "k", "d", 259), "d");
    file.Set("s", "k", "v");
    EXPECT_EQ(file.Save().code, catalog::Outcome::WriteFailed);
    std::filesystem::permissions(dir / "x.ini", std::filesystem::perms::owner_all);
    EXPECT_EQ(dir.Read("x.ini"), "[s]\nk=kept\n");
}
#endif

TEST(IniFileBadInput, ParentThatIsAFileFailsTheSave) {
    TempDir dir;
    dir.Write("GameTool", "not a directory");
    IniFile file = IniFile::Load(dir / "GameTool/1.dat");
    file.Set("TOOL", "SIZE", "1");
    const catalog::Outcome outcome = file.Save();
    EXPECT_EQ(outcome.code, catalog::Outcome::WriteFailed);
    EXPECT_EQ(outcome.path, dir / "GameTool/1.dat");
    EXPECT_TRUE(outcome.error) << outcome.reason;
    EXPECT_EQ(dir.Read("GameTool"), "not a directory");
}

TEST(IniFileBadInput, GarbageIsReadWithoutHarmAndKeysStillWork) {
    std::mt19937 random(20240601);
    std::string garbage(64 * 1024, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random() & 0xFF);
    }
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"binary garbage", garbage},
        {"NUL bytes", std::string(4096, '\0') + "\n[s]\nk=v\n"},
        {"garbage with a good section", garbage + "\n[s]\nk=v\n"},
        {"10 MB line without '='", "[s]\n" + std::string(10 << 20, 'x') + "\nk=v\n"},
        {"10 MB value", "[s]\nk=" + std::string(10 << 20, 'x') + "\n"},
        {"10 MB of '['", std::string(10 << 20, '[')},
        {"only line breaks", std::string(1 << 20, '\n')},
        {"lone UTF-16 BOM", "\xFF\xFE"},
        {"odd UTF-16 length", std::string("\xFF\xFE[\0s\0]\0\n", 9)},
    };
    for (const auto& [what, bytes] : cases) {
        TempDir dir;
        dir.Write("x.ini", bytes);
        IniFile file = IniFile::Load(dir / "x.ini");
        std::string k = file.GetString("s", "k", "d", 259);
        EXPECT_LE(k.size(), 259u * 4) << what;
        (void)file.GetInt("s", "k", 0);
        file.Set("new", "key", "value");
        ASSERT_TRUE(file.Save().ok()) << what;
        EXPECT_EQ(IniFile::Load(dir / "x.ini").GetString("new", "key", "", 259), "value") << what;
    }
}

TEST(IniFileBadInput, HugeValueIsCutToTheLimit) {
    IniFile file = IniFile::Parse("x.ini", "[s]\nk=" + std::string(10 << 20, 'x') + "\nj=1\n");
    EXPECT_EQ(file.GetString("s", "k", "", 259), std::string(259, 'x'));
    EXPECT_EQ(file.GetInt("s", "j", 0), 1u);
}

TEST(IniFileLimits, LargestNumberKeyBoundsItems) {
    IniFile file = IniFile::Parse("x.ini", "[a]\n1=x\n17=y\nSIZE=99\n[b]\n5=z\n99999999999=w\n");
    EXPECT_EQ(file.LargestNumberKey(), 17u);
    file.Set("c", "40", "v");
    EXPECT_EQ(file.LargestNumberKey(), 40u);
}

TEST(CutToUtf16Units, NeverSplitsACharacter) {
    EXPECT_EQ(catalog::CutToUtf16Units("ab游戏", 3), "ab游");
    EXPECT_EQ(catalog::CutToUtf16Units("a\xF0\x9F\x98\x80", 2), "a");
    EXPECT_EQ(catalog::CutToUtf16Units("a\xF0\x9F\x98\x80", 3), "a\xF0\x9F\x98\x80");
    EXPECT_EQ(catalog::CutToUtf16Units("abc", 0), "");
}

// An invalid byte is one unit of its own (platform/Utf8.h); what follows it is kept.
TEST(CutToUtf16Units, InvalidBytesAreOneUnitEach) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t limit;
        std::string cut;
    } cases[] = {
        {"truncated sequence", "a\xE6\xB8zz", 3, "a\xE6\xB8"},
        {"truncated at the end", "ab\xE6\xB8", 3, "ab\xE6"},
        {"lone continuation byte", "\x80\x80zz", 3, "\x80\x80z"},
        {"overlong form", "\xC0\xAFzz", 1, "\xC0"},
        {"surrogate encoded in UTF-8", "\xED\xA0\x80z", 2, "\xED\xA0"},
        {"four-byte character after a bad byte", "\x80\xF0\x9F\x98\x80", 2, "\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(catalog::CutToUtf16Units(c.text, c.limit), c.cut) << c.what;
    }
}

}  // namespace
