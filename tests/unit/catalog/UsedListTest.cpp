#include <gtest/gtest.h>

#include "CatalogFixture.h"
#include "catalog/FileSystem.h"

using namespace catalog;

namespace {

class UsedList : public CatalogFixture {
  protected:
    // Games 1234 (tools 300 of TYPE 191 and 301 of TYPE 187) and 34, five general tools, and a
    // used list of general tool 3, game tool 301 and game 1234's start entry.
    void SetUp() override {
        WriteGames({{1234, "神域传说"}, {34, "乙"}});
        WriteTools("GameTool/1234.dat", "TOOL", {{300, 191, "x"}, {301, 187, "y"}});
        WriteTools("Normalcfg.dat", "NormalTool",
                   {{1, 187, "a"}, {2, 188, "b"}, {3, 187, "c"}, {4, 189, "d"}, {5, 192, "e", 1}});
        cat.LoadGames();
        cat.LoadGeneralTools();
        for (uint32_t id : {3u}) {
            ASSERT_TRUE(cat.AddUsed(*FindTool(cat.GeneralTools(), id).record).ok());
        }
        ASSERT_TRUE(cat.AddUsed(*FindTool(*cat.Games()[0].display, 301).record).ok());
        ASSERT_TRUE(cat.AddUsed(*FindTool(*cat.Games()[0].display, 123411).record).ok());
        cat.LoadUsed();
    }

    ToolRecord Record(uint32_t id, uint32_t time = 0) {
        ToolRecord t;
        t.id = id;
        t.type = kTypeProgram;
        t.time = time;
        return t;
    }
};

TEST_F(UsedList, AddAppendsAndStampsTheFile) {
    ASSERT_EQ(cat.Used().size(), 3u);
    ASSERT_TRUE(cat.AddUsed(Record(77, 4321)).ok());
    EXPECT_EQ(cat.Used().back().id, 77u);
    EXPECT_EQ(Value("Usedcfg.dat", "TOOL", "SIZE"), "4");
    EXPECT_EQ(Value("Usedcfg.dat", "TOOL", "4"), "77");
    EXPECT_EQ(Value("Usedcfg.dat", "TOOL", "TIME"), "4321");
    Catalog reloaded(dir.dir());
    reloaded.LoadAll();
    EXPECT_EQ(Ids(reloaded.Used()), (std::vector<uint32_t>{3, 301, 123411, 77}));
    EXPECT_EQ(reloaded.Used()[2].title, "神域传说");
}

TEST_F(UsedList, AddBeyondTheLimitTakesTheLastPlace) {
    cat.Used().clear();
    for (uint32_t i = 1; i <= 10000; ++i) {
        cat.Used().push_back(Record(i));
    }
    ASSERT_TRUE(cat.AddUsed(Record(99999)).ok());
    ASSERT_EQ(cat.Used().size(), 10001u);
    EXPECT_EQ(cat.Used()[9999].id, 99999u);
    EXPECT_EQ(cat.Used()[10000].id, 10000u);
    EXPECT_EQ(Value("Usedcfg.dat", "TOOL", "10000"), "99999");
}

TEST_F(UsedList, DropAndClear) {
    EXPECT_EQ(cat.DropUsed(555).code, Outcome::NotFound);
    ASSERT_TRUE(cat.DropUsed(301).ok());
    EXPECT_EQ(Ids(cat.Used()), (std::vector<uint32_t>{3, 123411}));
    EXPECT_EQ(Value("Usedcfg.dat", "TOOL", "SIZE"), "2");
    ASSERT_TRUE(cat.ClearUsed().ok());
    EXPECT_TRUE(cat.Used().empty());
    EXPECT_EQ(Value("Usedcfg.dat", "TOOL", "SIZE"), "0");
    EXPECT_TRUE(cat.DropUsed(3).ok()) << "nothing to drop from an empty list";
    std::filesystem::remove(P("Usedcfg.dat"));
    ASSERT_TRUE(cat.ClearUsed().ok());
    EXPECT_EQ(Value("Usedcfg.dat", "TOOL", "SIZE"), "0");
    // Installed tools and the catalogs are untouched.
    EXPECT_EQ(Value("Normalcfg.dat", "INSTALLED", "5"), "1");
}

TEST_F(UsedList, InvalidTypeDisappearsOnTheNextWrite) {
    WriteKeys("Usedcfg.dat", {{"TYPE", "1", "0"}});
    ASSERT_EQ(cat.LoadUsed(), 2u);
    ASSERT_TRUE(cat.DropUsed(123411).ok());
    Catalog reloaded(dir.dir());
    EXPECT_EQ(reloaded.LoadUsed(), 1u);
    EXPECT_EQ(Value("Usedcfg.dat", "TOOL", "1"), "301");
}

TEST_F(UsedList, GeneralToolInstalledChangesOnlyItsKeys) {
    const std::string normalBefore = dir.Read("Normalcfg.dat");
    ItemChange change = cat.MarkInstalled(*FindTool(cat.GeneralTools(), 3).record);
    ASSERT_TRUE(change.outcome.ok());
    EXPECT_EQ(change.record.installed, 1);
    EXPECT_EQ(change.record.icon, P("ToolIcon/3.png"));
    EXPECT_EQ(change.usedPosition, 1u);
    EXPECT_EQ(cat.Used()[0], change.record);
    EXPECT_EQ(*FindTool(cat.GeneralTools(), 3).record, change.record);
    std::string expected = normalBefore;
    const std::string from = "[INSTALLED]\r\n1=0\r\n2=0\r\n3=0";
    expected.replace(expected.find(from), from.size(), "[INSTALLED]\r\n1=0\r\n2=0\r\n3=1");
    EXPECT_EQ(dir.Read("Normalcfg.dat"), expected);
    EXPECT_EQ(Value("Usedcfg.dat", "INSTALLED", "1"), "1");
    EXPECT_EQ(Value("Usedcfg.dat", "INSTALLED", "2"), "0");
}

TEST_F(UsedList, GameToolInstalledRewritesItsGameFile) {
    ItemChange change = cat.MarkInstalled(*FindTool(*cat.Games()[0].tools, 301).record);
    ASSERT_TRUE(change.outcome.ok());
    EXPECT_EQ(change.record.icon, P("ToolIcon/301.png"));
    EXPECT_EQ(*FindTool(*cat.Games()[0].tools, 301).record, change.record);
    EXPECT_EQ(*FindTool(*cat.Games()[0].display, 301).record, change.record);
    EXPECT_EQ(change.usedPosition, 2u);
    EXPECT_EQ(Value("GameTool/1234.dat", "INSTALLED", "2"), "1");
    EXPECT_EQ(Value("Usedcfg.dat", "INSTALLED", "2"), "1");
    cat.LoadAll();
    EXPECT_EQ(FindTool(cat.Used(), 301).record->icon, P("ToolIcon/301.png"));
}

TEST_F(UsedList, InstalledNoticeForUnknownItemChangesNothing) {
    const std::string used = dir.Read("Usedcfg.dat");
    const std::string normal = dir.Read("Normalcfg.dat");
    for (ToolRecord record : {Record(404), Record(301)}) {
        record.gameId = record.id == 301 ? 34 : 0;
        EXPECT_EQ(cat.MarkInstalled(record).outcome.code, Outcome::NotFound);
    }
    EXPECT_EQ(dir.Read("Usedcfg.dat"), used);
    EXPECT_EQ(dir.Read("Normalcfg.dat"), normal);
}

TEST_F(UsedList, InstalledKeyFollowsTheToolNotThePlace) {
    // The loader drops item 2 (TYPE 0), so tool 3 is second in the list but third in the file.
    WriteKeys("Normalcfg.dat", {{"TYPE", "2", "0"}});
    cat.LoadGeneralTools();
    ASSERT_EQ(FindTool(cat.GeneralTools(), 3).position, 2u);
    ASSERT_TRUE(cat.MarkInstalled(*FindTool(cat.GeneralTools(), 3).record).outcome.ok());
    EXPECT_EQ(Value("Normalcfg.dat", "INSTALLED", "3"), "1");
    EXPECT_EQ(Value("Normalcfg.dat", "INSTALLED", "2"), "0");
}

TEST_F(UsedList, UninstallGeneralTool) {
    dir.Write("LocalGameTool/5/bin/tool.exe", "x");
    dir.Write("LocalGameTool/5/readme.txt", "x");
    ASSERT_TRUE(cat.AddUsed(*FindTool(cat.GeneralTools(), 5).record).ok());
    const std::string normalBefore = dir.Read("Normalcfg.dat");
    ItemChange change = cat.DeleteItem(ViewKind::GeneralTools, 5, 0);
    ASSERT_TRUE(change.outcome.ok());
    EXPECT_EQ(change.record.installed, 0);
    EXPECT_EQ(change.record.icon, P("ToolIcon/defaultD.png"));
    EXPECT_EQ(change.usedPosition, 4u);
    EXPECT_EQ(cat.Used()[3], change.record) << "the used entry stays, not installed";
    std::string expected = normalBefore;
    expected.replace(expected.find("5=1\r\n", expected.find("[INSTALLED]")), 5, "5=0\r\n");
    EXPECT_EQ(dir.Read("Normalcfg.dat"), expected);
    EXPECT_EQ(Value("Usedcfg.dat", "INSTALLED", "4"), "0");
    EXPECT_TRUE(std::filesystem::is_directory(P("LocalGameTool/5")));
    EXPECT_TRUE(std::filesystem::is_empty(P("LocalGameTool/5")));
    Catalog reloaded(dir.dir());
    reloaded.LoadGeneralTools();
    EXPECT_EQ(FindTool(reloaded.GeneralTools(), 5).record->icon, P("ToolIcon/defaultD.png"));
}

TEST_F(UsedList, UninstallGameToolAndStartEntry) {
    ASSERT_TRUE(cat.SetGameDirectory(1234, "C:\\g\\a.exe").ok());
    cat.LoadGames();
    ItemChange tool = cat.DeleteItem(ViewKind::OnlineGames, 301, 1234);
    ASSERT_TRUE(tool.outcome.ok());
    EXPECT_EQ(tool.record.icon, P("ToolIcon/defaultD.png"));
    EXPECT_EQ(*FindTool(*cat.Games()[0].tools, 301).record, tool.record);
    EXPECT_EQ(Value("GameTool/1234.dat", "INSTALLED", "2"), "0");
    EXPECT_EQ(cat.GameDirectoryForRun(1234), "C:\\g\\a.exe");

    ItemChange start = cat.DeleteItem(ViewKind::OnlineGames, 123411, 1234);
    ASSERT_TRUE(start.outcome.ok());
    EXPECT_EQ(start.usedPosition, 3u);
    EXPECT_EQ(cat.GameDirectoryForRun(1234), "");
    cat.LoadGames();
    EXPECT_EQ(cat.Games()[0].display->at(0).icon, P("ToolIcon/defaultD.png"));
    // Uninstalled from a game the view does not show: nothing.
    EXPECT_EQ(cat.DeleteItem(ViewKind::OnlineGames, 301, 34).outcome.code, Outcome::NotFound);
}

TEST_F(UsedList, DeleteInMyViewKeepsFiles) {
    dir.Write("LocalGameTool/3/tool.exe", "x");
    ItemChange change = cat.DeleteItem(ViewKind::My, 3, 0);
    ASSERT_TRUE(change.outcome.ok());
    EXPECT_TRUE(change.usedReloaded);
    EXPECT_EQ(Ids(cat.Used()), (std::vector<uint32_t>{301, 123411}));
    EXPECT_EQ(cat.Used()[1].title, "神域传说") << "reloaded from the file";
    EXPECT_EQ(dir.Read("LocalGameTool/3/tool.exe"), "x");
    EXPECT_EQ(cat.DeleteItem(ViewKind::My, 3, 0).outcome.code, Outcome::NotFound);
}

TEST_F(UsedList, GameDirectorySetShowsTheGameIcon) {
    ASSERT_EQ(cat.Games()[0].display->at(0).icon, P("ToolIcon/defaultD.png"));
    const std::string used = dir.Read("Usedcfg.dat");
    ItemChange change = cat.GameDirectorySet(ViewKind::OnlineGames, 123411, 1234);
    ASSERT_TRUE(change.outcome.ok());
    EXPECT_EQ(change.record.icon, P("GameIcon/1234.png"));
    EXPECT_EQ(cat.Games()[0].display->at(0), change.record);
    EXPECT_EQ(change.usedPosition, 3u);
    EXPECT_EQ(cat.Used()[2], change.record);
    EXPECT_EQ(dir.Read("Usedcfg.dat"), used) << "no file is written";
    for (ViewKind other : {ViewKind::My, ViewKind::GeneralTools}) {
        EXPECT_EQ(cat.GameDirectorySet(other, 123411, 1234).outcome.code, Outcome::NotFound);
    }
}

TEST_F(UsedList, WriteFailureLeavesTheFile) {
    const std::string used = dir.Read("Usedcfg.dat");
    std::filesystem::permissions(P("Usedcfg.dat"), std::filesystem::perms::owner_read);
    EXPECT_EQ(cat.AddUsed(Record(88)).code, Outcome::WriteFailed);
    EXPECT_EQ(cat.DropUsed(3).code, Outcome::WriteFailed);
    EXPECT_EQ(cat.ClearUsed().code, Outcome::WriteFailed);
    EXPECT_EQ(dir.Read("Usedcfg.dat"), used);
    EXPECT_EQ(cat.Used().size(), 3u) << "the list is what the file still holds";
}

TEST(EmptyDirectory, RemovesEverythingBelowAndKeepsTheDirectory) {
    TempDir dir;
    dir.Write("t/a.txt", "x");
    dir.Write("t/sub/deeper/b.txt", "x");
    // A tool unpacked with a read-only file: Windows refuses to delete those as they are.
    dir.Write("t/sub/ro.txt", "x");
    std::filesystem::permissions(dir.PathOf("t/sub/ro.txt"), std::filesystem::perms::owner_read);
    catalog::EmptyDirectory(dir / "t");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "t"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "t"));
    catalog::EmptyDirectory(dir / "missing");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(EmptyDirectory, RemovesALinkButNotWhatItPointsTo) {
    TempDir dir;
    dir.Write("outside/keep.txt", "keep");
    std::filesystem::create_directory(dir.PathOf("t"));
    std::error_code linked;
    std::filesystem::create_directory_symlink(dir.PathOf("outside"), dir.PathOf("t/link"), linked);
#ifdef _WIN32
    if (linked) {
        GTEST_SKIP() << "this system cannot create symbolic links: " << linked.message();
    }
#endif
    ASSERT_FALSE(linked) << linked.message();
    catalog::EmptyDirectory(dir / "t");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "t"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "t"));
    EXPECT_EQ(dir.Read("outside/keep.txt"), "keep");
}

}  // namespace
