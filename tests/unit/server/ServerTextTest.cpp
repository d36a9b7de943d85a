#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "SyncFixture.h"

namespace {

// Texts from the data server are written into the catalog files and usercfg.dat. A line
// break in one must never make the rest of it a section or key of its own there.
class ServerTextTest : public SyncFixture {
  protected:
    // No file of the program directory gained a section that only the hostile text names.
    void ExpectNoInjectedSections() const {
        for (const char* file :
             {"gamecfg.dat", "Normalcfg.dat", "GameTool/10201.dat", "usercfg.dat", "Usedcfg.dat"}) {
            catalog::IniFile ini = catalog::IniFile::Load(dir / file);
            EXPECT_FALSE(ini.HasSection("GAMEDIR") && ini.HasKey("GAMEDIR", "666")) << file;
            EXPECT_FALSE(ini.HasSection("system")) << file;
            EXPECT_FALSE(ini.HasSection("injected")) << file;
        }
    }

    static constexpr const char* kGameDir = "\r\n[GAMEDIR]\r\n666=/bin/sh";
    static constexpr const char* kSystem = "\r\n[system]\r\nautoupdate=1";
};

TEST_F(ServerTextTest, CatalogRecordTextsStayOnTheirLine) {
    Fields game = Game("10201", std::string("传奇") + kGameDir);
    game[7] = std::string("info\n[injected]\nx=1");
    game[9] = std::string("game.exe") + kSystem;
    Fields general = Tool("189", "0", "300");
    general[4] = std::string("tool") + kGameDir;
    general[8] = std::string("http://files/300.zip") + kSystem;
    Fields gameTool = Tool("187", "10201", "301");
    gameTool[5] = std::string("1.0\r[injected]");
    gameTool[9] = std::string("run.exe\n[injected]");
    auto changes = Read(Reply({game, general, gameTool}));
    for (const auto& change : changes.changes) {
        if (const auto* put = std::get_if<server::PutGameChange>(&change)) {
            EXPECT_EQ(put->game.title, "传奇  [GAMEDIR]  666=/bin/sh");
        }
        if (const auto* put = std::get_if<server::PutToolChange>(&change)) {
            EXPECT_EQ(put->tool.title.find_first_of("\r\n"), std::string::npos);
        }
    }
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), std::vector<uint32_t>{10201});
    EXPECT_EQ(GeneralToolIds(), std::vector<uint32_t>{300});
    EXPECT_EQ(GameToolIds(10201), std::vector<uint32_t>{301});
    EXPECT_EQ(Value("gamecfg.dat", "TITLE", "1"), "传奇  [GAMEDIR]  666=/bin/sh");
    EXPECT_EQ(Value("gamecfg.dat", "EXENAME", "1"), "game.exe  [system]  autoupdate=1");
    EXPECT_EQ(Value("Normalcfg.dat", "TITLE", "1"), "tool  [GAMEDIR]  666=/bin/sh");
    EXPECT_EQ(Value("GameTool/10201.dat", "EXENAME", "1"), "run.exe [injected]");
    ExpectNoInjectedSections();
}

TEST_F(ServerTextTest, RemovalRecordsAndTheRankingStampStayOnTheirLine) {
    StoreGames({10201});
    const std::vector<std::vector<Fields>> removals = {
        {Removal("8053", std::string("10201") + kSystem, "", "500")},
        {Removal("8053", "", std::string("300,301") + kGameDir, std::string("500") + kSystem)},
    };
    for (const auto& records : removals) {
        ASSERT_TRUE(Apply(Read(Reply(records))).ok());
    }
    server::SyncChanges ranking;
    ASSERT_TRUE(
        server::ApplyRankingReply(Ranking("1", "10201,1", std::string("78") + kSystem), ranking));
    ASSERT_TRUE(Apply(ranking).ok());
    EXPECT_EQ(Setting("pxtime"), "78  [system]  autoupdate=1");
    EXPECT_EQ(Setting("lasttime"), "500");
    ExpectNoInjectedSections();
}

}  // namespace
