#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "SyncFixture.h"
#include "platform/Paths.h"

namespace {

using server::IconFetch;

class CatalogReplyTest : public SyncFixture {
  protected:
    std::string GameIcon(uint32_t id) const {
        return dir.dir() + "GameIcon" + platform::kSeparator + std::to_string(id) + ".png";
    }
    std::string ToolIcon(uint32_t id) const {
        return dir.dir() + "ToolIcon" + platform::kSeparator + std::to_string(id) + ".png";
    }
};

TEST_F(CatalogReplyTest, GameRecordIsStoredWithItsFields) {
    auto changes = Read(Reply({Game("10201", "传奇", "http://img/a/b/icon.png", "345")}));
    EXPECT_EQ(changes.records, 1);
    EXPECT_TRUE(changes.busy);
    EXPECT_TRUE(changes.busyBox);
    ASSERT_EQ(changes.icons.size(), 1u);
    EXPECT_EQ(changes.icons[0].url, "http://img/a/b/icon.png");
    EXPECT_EQ(changes.icons[0].path, GameIcon(10201));

    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), std::vector<uint32_t>{10201});
    EXPECT_EQ(Value("gamecfg.dat", "TITLE", "1"), "传奇");
    EXPECT_EQ(Value("gamecfg.dat", "INFO", "1"), "info 传奇");
    EXPECT_EQ(Value("gamecfg.dat", "DOWNURL", "1"), "http://down/10201");
    EXPECT_EQ(Value("gamecfg.dat", "EXENAME", "1"), "game.exe");
    EXPECT_EQ(Value("gamecfg.dat", "PNG", "1"), "http://img/a/b/icon.png");
    EXPECT_EQ(Value("gamecfg.dat", "SITE", "1"), "http://site/10201");
    EXPECT_EQ(Value("gamecfg.dat", "SHOWWEB", "1"), "http://show/10201");
    EXPECT_EQ(Value("gamecfg.dat", "TIME", "1"), "345");
    EXPECT_EQ(Setting("lasttime"), "345");
}

TEST_F(CatalogReplyTest, GameIconIsFetchedOnlyForShortNames) {
    struct Case {
        std::string png;
        bool fetched;
    } cases[] = {
        {"http://img/a/b/icon.png", true},
        {"http://img/" + std::string(15, 'n') + ".png", true},   // 19 characters
        {"http://img/" + std::string(16, 'n') + ".png", false},  // 20 characters
        {"http://img/图标图标图标图标图标图标图标.png", true},   // 19 characters, more bytes
        {"http://img/dir/", true},                               // empty name part
        {"icon.png", true},                                      // no "/": the whole text
        {"", false},
    };
    for (const auto& c : cases) {
        auto changes = Read(Reply({Game("7", "g", c.png)}));
        EXPECT_EQ(changes.icons.size(), c.fetched ? 1u : 0u) << c.png;
        EXPECT_EQ(changes.records, 1) << c.png;
    }
}

TEST_F(CatalogReplyTest, ToolRecordsGoToTheirListsAndOwnIconsAreFetched) {
    StoreGames({301});
    struct Case {
        std::string type, gameId, id, pngurl;
        bool icon;
    } cases[] = {
        {"187", "0", "20301", "http://img/t.png", false},
        {"191", "0", "20302", "", false},
        {"191", "0", "20303", "http://img/t.png", true},
        {"192", "301", "20304", "http://img/u.png", true},
        {"188", "301", "20305", "http://img/u.png", false},
    };
    std::vector<SyncFixture::Fields> records;
    for (const auto& c : cases) {
        records.push_back(Tool(c.type, c.gameId, c.id, c.pngurl));
    }
    auto changes = Read(Reply(records));
    EXPECT_EQ(changes.records, 5);
    std::vector<std::string> iconPaths;
    for (const IconFetch& icon : changes.icons) {
        iconPaths.push_back(icon.path);
    }
    EXPECT_EQ(iconPaths, (std::vector<std::string>{ToolIcon(20303), ToolIcon(20304)}));

    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GeneralToolIds(), (std::vector<uint32_t>{20301, 20302, 20303}));
    EXPECT_EQ(GameToolIds(301), (std::vector<uint32_t>{20304, 20305}));
    EXPECT_EQ(Value("Normalcfg.dat", "TYPE", "1"), "187");
    EXPECT_EQ(Value("Normalcfg.dat", "TITLE", "1"), "tool 20301");
    EXPECT_EQ(Value("Normalcfg.dat", "VERSION", "1"), "1.0");
    EXPECT_EQ(Value("Normalcfg.dat", "SCALE", "1"), "3");
    EXPECT_EQ(Value("Normalcfg.dat", "URL", "1"), "http://files/20301.zip");
    EXPECT_EQ(Value("Normalcfg.dat", "EXENAME", "1"), "run.exe");
    EXPECT_EQ(Value("Normalcfg.dat", "PNGURL", "1"), "http://img/t.png");
}

TEST_F(CatalogReplyTest, ToolOfAGameNotInTheListIsNotStored) {
    auto changes = Read(Reply({Tool("187", "999", "20301")}));
    EXPECT_EQ(changes.records, 1);
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_TRUE(GameToolIds(999).empty());
    EXPECT_TRUE(GeneralToolIds().empty());
}

TEST_F(CatalogReplyTest, NumberFieldsAreReadLikeFloatingPointAndTruncated) {
    struct Case {
        std::string text;
        uint32_t unsignedValue;
        int32_t signedValue;
    } cases[] = {
        {"42", 42, 42}, {"12.9", 12, 12}, {" 7", 7, 7},  {"1e3", 1000, 1000},
        {"abc", 0, 0},  {"", 0, 0},       {"-3", 0, -3}, {"-3.7", 0, -3},
        {"5x", 5, 5},   {"1e30", 0, 0},   {"nan", 0, 0}, {"4294967295", 4294967295u, 0},
    };
    for (const auto& c : cases) {
        SyncFixture::Fields tool = Tool("187", "0", "300", "", c.text);
        tool[6] = c.text;  // SCALE
        auto changes = Read(Reply({tool}));
        ASSERT_EQ(changes.changes.size(), 1u) << c.text;
        const auto& put = std::get<server::PutToolChange>(changes.changes[0]);
        EXPECT_EQ(put.tool.time, c.unsignedValue) << c.text;
        EXPECT_EQ(put.tool.scale, c.signedValue) << c.text;
    }
}

// Ids are read like the other numbers, but one that is no number, or 0, names no record: the
// record is skipped rather than stored as game or tool 0 (or as a general tool).
TEST_F(CatalogReplyTest, RecordsWhoseIdsAreNoNumbersAreSkipped) {
    struct Case {
        std::string text;
        std::optional<uint32_t> id;
    } cases[] = {
        {"42", 42}, {"12.9", 12}, {" 7", 7},    {"1e3", 1000},
        {"5x", 5},  {"", {}},     {"../x", {}}, {"abc", {}},
        {"-3", {}}, {"1e30", {}}, {"nan", {}},  {"4294967295", 4294967295u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto game = Read(Reply({Game(c.text, "g")}));
        auto tool = Read(Reply({Tool("189", "0", c.text)}));
        auto gameOfTool = Read(Reply({Tool("187", c.text, "300")}));
        EXPECT_EQ(game.records, c.id ? 1 : 0);
        EXPECT_EQ(tool.records, c.id ? 1 : 0);
        EXPECT_EQ(gameOfTool.records, c.id ? 1 : 0);
        if (c.id) {
            EXPECT_EQ(std::get<server::PutGameChange>(game.changes.at(0)).game.id, *c.id);
            EXPECT_EQ(std::get<server::PutToolChange>(tool.changes.at(0)).tool.id, *c.id);
            EXPECT_EQ(std::get<server::PutToolChange>(gameOfTool.changes.at(0)).gameId, *c.id);
        } else {
            EXPECT_TRUE(game.changes.empty() && tool.changes.empty() && gameOfTool.changes.empty());
        }
    }
    // No game or tool is 0, but game 0 stands for the general tools.
    EXPECT_EQ(Read(Reply({Game("0", "g")})).records, 0);
    EXPECT_EQ(Read(Reply({Tool("189", "0", "0")})).records, 0);
    auto general = Read(Reply({Tool("189", "0", "300")}));
    ASSERT_EQ(general.changes.size(), 1u);
    EXPECT_EQ(std::get<server::PutToolChange>(general.changes[0]).gameId, 0u);
}

TEST_F(CatalogReplyTest, ToolIconIsNamedAfterTheNumericId) {
    auto changes = Read(Reply({Tool("191", "0", "020301.0", "http://img/t.png")}));
    ASSERT_EQ(changes.icons.size(), 1u);
    EXPECT_EQ(changes.icons[0].path, ToolIcon(20301));
    // An id that is no number never becomes part of a path: the record is skipped.
    changes = Read(Reply({Tool("191", "0", "../../evil", "http://img/t.png")}));
    EXPECT_TRUE(changes.icons.empty());
}

TEST_F(CatalogReplyTest, RecordKindFollowsTheFieldCountAndTheFirstRecordsOffset) {
    // Counts are the data fields; the first record has three more in all.
    struct Case {
        std::size_t firstFields;
        std::size_t laterFields;
        int records;
    } cases[] = {
        {15, 15, 2},  // 18 fields in all for the first record: both full
        {16, 20, 2},  // extra fields are ignored
        {5, 5, 2},    // 8 fields in all for the first record: both removals
        {4, 4, 0},   {6, 6, 0},   {9, 9, 0},   {10, 10, 0}, {11, 11, 0},
        {12, 12, 0}, {13, 13, 0}, {14, 14, 0}, {0, 1, 0},  // the header alone, then a one-field
                                                           // record
    };
    for (const auto& c : cases) {
        auto record = [](std::size_t n) {
            SyncFixture::Fields full = Tool("187", "0", "20301");
            if (n == 5) {
                return Removal("X", "", "", "5");
            }
            full.resize(n, "");
            return full;
        };
        auto changes = Read(Reply({record(c.firstFields), record(c.laterFields)}));
        EXPECT_EQ(changes.records, c.records) << c.firstFields << "/" << c.laterFields;
        EXPECT_EQ(changes.busy, c.records > 0) << c.firstFields << "/" << c.laterFields;
    }
}

TEST_F(CatalogReplyTest, GarbageRepliesChangeNothing) {
    const std::string replies[] = {
        "",
        "garbage",
        std::string(10, server::kFieldSeparator),
        std::string(300, server::kRecordSeparator),
        "\xEF\xBF\xBD\xEF\xBF\xBD",
    };
    for (const auto& reply : replies) {
        auto changes = Read(reply);
        EXPECT_EQ(changes.records, 0);
        EXPECT_TRUE(changes.changes.empty());
        EXPECT_FALSE(changes.busy);
    }
}

TEST_F(CatalogReplyTest, SeparatorsInsideAFieldOnlyDisturbTheirOwnRecord) {
    // A field separator in a title shifts the rest of that record by one field; a record
    // separator in a description cuts the record into two parts too short to be read.
    SyncFixture::Fields shifted = Game("7", std::string("a") + server::kFieldSeparator + "b");
    SyncFixture::Fields cut = Tool("187", "0", "20309");
    cut[7] = std::string("x") + server::kRecordSeparator + "y";
    auto changes = Read(
        Reply({Game("5", "first", "", "10"), shifted, cut, Tool("187", "0", "20301", "", "20")}));
    EXPECT_EQ(changes.records, 3);
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), (std::vector<uint32_t>{5, 7}));
    EXPECT_EQ(GeneralToolIds(), std::vector<uint32_t>{20301});
    EXPECT_EQ(Setting("lasttime"), "20");
}

TEST_F(CatalogReplyTest, ACutReplyLeavesItsLastRecordForTheNextSync) {
    std::string reply = Reply({Game("1", "a", "", "10"), Tool("187", "0", "20301", "", "20")});
    // Cut inside the tool record, leaving exactly five of its fields: taken as it is, it
    // would look like a removal record and raise lasttime to the tool's id.
    std::string cutReply = Reply({Game("1", "a", "", "10"), {"", "187", "0", "20301", "too"}});
    auto cut = Read(cutReply, true);
    EXPECT_EQ(cut.records, 1);
    ASSERT_TRUE(Apply(cut).ok());
    EXPECT_EQ(Setting("lasttime"), "10");
    EXPECT_EQ(Read(reply).records, 2);
}

struct RemovalCase {
    const char* name;
    SyncFixture::Fields removal;
    std::vector<uint32_t> games;
    std::vector<uint32_t> generalTools;
    std::vector<uint32_t> gameTools;
    std::string lasttime;
};

class RemovalTest : public SyncFixture, public ::testing::WithParamInterface<RemovalCase> {};

// Games 10201-10203, general tools 20301 and 20302, tool 30301 of game 10203, lasttime 800.
TEST_P(RemovalTest, DropsWithTheMarkerAndAlwaysRaisesLasttime) {
    const RemovalCase& c = GetParam();
    StoreGames({10201, 10202, 10203});
    StoreTool(0, 20301);
    StoreTool(0, 20302);
    StoreTool(10203, 30301);
    catalog::WriteProfileKey(dir / "usercfg.dat", "ravikver", "lasttime", "800");

    auto changes = Read(Reply({c.removal}));
    EXPECT_EQ(changes.records, 1);
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), c.games);
    EXPECT_EQ(GeneralToolIds(), c.generalTools);
    EXPECT_EQ(GameToolIds(10203), c.gameTools);
    EXPECT_EQ(Setting("lasttime"), c.lasttime);
}

INSTANTIATE_TEST_SUITE_P(
    Removals, RemovalTest,
    ::testing::Values(RemovalCase{"Marker",
                                  SyncFixture::Removal("X8053Y", "10201,10202", "20301", "900"),
                                  {10203},
                                  {20302},
                                  {30301},
                                  "900"},
                      RemovalCase{"NoMarker",
                                  SyncFixture::Removal("X", "10201,10202", "20301", "900"),
                                  {10201, 10202, 10203},
                                  {20301, 20302},
                                  {30301},
                                  "900"},
                      RemovalCase{"ShortIdsRemoveNothing",
                                  SyncFixture::Removal("8053", "1020", "2030", "900"),
                                  {10201, 10202, 10203},
                                  {20301, 20302},
                                  {30301},
                                  "900"},
                      RemovalCase{"FiveCharactersAreOneId",
                                  SyncFixture::Removal("8053", "10201", "2,302", "900"),
                                  {10202, 10203},
                                  {20301, 20302},
                                  {30301},
                                  "900"},
                      RemovalCase{"TrailingCommas",
                                  SyncFixture::Removal("8053", "10201,", "20301,20302,", "900"),
                                  {10202, 10203},
                                  {},
                                  {30301},
                                  "900"},
                      RemovalCase{"ToolOfAGame",
                                  SyncFixture::Removal("8053", "", "30301", "900"),
                                  {10201, 10202, 10203},
                                  {20301, 20302},
                                  {},
                                  "900"},
                      // A dropped game's tool file stays on disk.
                      RemovalCase{"LowerStampKeepsLasttime",
                                  SyncFixture::Removal("8053", "10203", "", "700"),
                                  {10201, 10202},
                                  {20301, 20302},
                                  {30301},
                                  "800"},
                      RemovalCase{"IdsThatAreNoNumbersRemoveNothing",
                                  SyncFixture::Removal("8053", "../x,,0", "../xy", "900"),
                                  {10201, 10202, 10203},
                                  {20301, 20302},
                                  {30301},
                                  "900"},
                      RemovalCase{"StampWithoutDigits",
                                  SyncFixture::Removal("8053", "", "", "x"),
                                  {10201, 10202, 10203},
                                  {20301, 20302},
                                  {30301},
                                  "800"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CatalogReplyTest, RemovalAloneAsksForTheBusyStateButNoBox) {
    auto changes = Read(Reply({Removal("8053", "10201", "", "900")}));
    EXPECT_EQ(changes.records, 1);
    EXPECT_TRUE(changes.busy);
    EXPECT_FALSE(changes.busyBox);
    EXPECT_TRUE(changes.icons.empty());
}

TEST_F(CatalogReplyTest, AFailedSaveKeepsTheStamps) {
    StoreGames({301});
    catalog::WriteProfileKey(dir / "usercfg.dat", "ravikver", "lasttime", "50");
    catalog::WriteProfileKey(dir / "usercfg.dat", "ravikver", "pxtime", "3");
    // A directory where the game's tool file belongs: that file cannot be saved.
    std::filesystem::create_directories(dir.path() / "GameTool" / "301.dat" / "x");
    auto changes =
        Read(Reply({Game("302", "new", "", "60"), Tool("187", "301", "20301", "", "70")}));
    server::ApplyRankingReply(Ranking("1", "301,1", "9"), changes);
    catalog::Outcome outcome = Apply(changes);
    EXPECT_EQ(outcome.code, catalog::Outcome::WriteFailed);
    EXPECT_EQ(Setting("lasttime"), "50");
    EXPECT_EQ(Setting("pxtime"), "3");
}

}  // namespace
