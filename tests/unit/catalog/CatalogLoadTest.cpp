#include <gtest/gtest.h>

#include "CatalogFixture.h"
#include "platform/CodePage.h"

using namespace catalog;

namespace {

class CatalogLoad : public CatalogFixture {};

TEST_F(CatalogLoad, GamesWithoutIconFileAreLeftOut) {
    WriteGames({{12, "甲"}, {34, "乙", false}, {56, "丙"}});
    WriteTools("GameTool/34.dat", "TOOL", {{340, kTypeProgram, "t"}});
    EXPECT_EQ(cat.LoadGames(), 2u);
    ASSERT_EQ(cat.Games().size(), 2u);
    EXPECT_EQ(cat.Games()[0].id, 12u);
    EXPECT_EQ(cat.Games()[0].title, "甲");
    EXPECT_EQ(cat.Games()[0].icon, P("GameIcon/12.png"));
    EXPECT_EQ(cat.Games()[1].id, 56u);
    EXPECT_EQ(FindGameOfTool(cat.Games(), 340), nullptr);
}

TEST_F(CatalogLoad, GameToolsGroupedByType) {
    WriteGames({{12, "甲"}});
    WriteTools("GameTool/12.dat", "TOOL",
               {{1, 187, "a"},
                {2, 191, "b"},
                {3, 189, "c"},
                {4, 192, "d"},
                {5, 0, "bad"},
                {6, 193, "bad"}});
    cat.LoadGames();
    const GameRecord& g = cat.Games().at(0);
    EXPECT_EQ(Ids(*g.tools), (std::vector<uint32_t>{2, 4, 1, 3}));
    EXPECT_EQ(Ids(*g.display), (std::vector<uint32_t>{1211, 1222, 1233, 1244, 2, 4, 1, 3}));
    for (const ToolRecord& t : *g.tools) {
        EXPECT_EQ(t.gameId, 12u);
        EXPECT_EQ(t.dir, P("LocalGameTool/" + std::to_string(t.id) + "/"));
    }
}

TEST_F(CatalogLoad, FixedEntriesOfAGame) {
    WriteGames({{1234, "甲"}});
    cat.LoadGames();
    const GameRecord& g = cat.Games().at(0);
    EXPECT_TRUE(g.tools->empty());
    ASSERT_EQ(g.display->size(), 4u);
    struct Expected {
        uint32_t id;
        const char* caption;
        uint32_t type;
        std::string url;
        std::string icon;
    };
    const std::vector<Expected> expected = {
        {123411, "启动游戏", 191, "http://show/1234", P("ToolIcon/defaultD.png")},
        {123422, "下载游戏", 189, "http://down/1234", P("ToolIcon/defaultE.png")},
        {123433, "官方网站", 189, "http://site/1234", P("ToolIcon/defaultC.png")},
        {123444, "资料专区", 189, "http://show/1234", P("ToolIcon/defaultC.png")},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ToolRecord& e = (*g.display)[i];
        EXPECT_EQ(e.id, expected[i].id);
        EXPECT_EQ(e.title, expected[i].caption);
        EXPECT_EQ(e.info, expected[i].caption);
        EXPECT_EQ(e.type, expected[i].type);
        EXPECT_EQ(e.url, expected[i].url);
        EXPECT_EQ(e.icon, expected[i].icon);
        EXPECT_EQ(e.gameId, 1234u);
        EXPECT_EQ(e.installed, 0);
        EXPECT_EQ(e.dir, "");
    }
}

TEST_F(CatalogLoad, StartEntryIconFollowsTheGamesProgramPath) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {nullptr, P("ToolIcon/defaultD.png")},
        {"", P("ToolIcon/defaultD.png")},
        {"C:\\Games\\a.exe", P("GameIcon/12.png")},
    };
    for (const auto& [gamedir, icon] : cases) {
        WriteGames({{12, "甲"}});
        if (gamedir != nullptr) {
            ASSERT_TRUE(cat.SetGameDirectory(12, gamedir).ok());
        }
        cat.LoadGames();
        EXPECT_EQ(cat.Games().at(0).display->at(0).icon, icon) << (gamedir ? gamedir : "absent");
        std::filesystem::remove(P("gamecfg.dat"));
    }
}

TEST_F(CatalogLoad, ToolIconsAndInstalledFlag) {
    struct Case {
        uint32_t type;
        const char* installed;
        int expectInstalled;
        std::string icon;
    };
    const std::vector<Case> cases = {
        {187, "0", 0, P("ToolIcon/defaultC.png")}, {188, "0", 0, P("ToolIcon/defaultC.png")},
        {189, "0", 0, P("ToolIcon/defaultC.png")}, {190, "0", 0, P("ToolIcon/defaultC.png")},
        {191, "0", 0, P("ToolIcon/defaultD.png")}, {192, "0", 0, P("ToolIcon/defaultD.png")},
        {187, "1", 1, P("ToolIcon/77.png")},       {191, "1", 1, P("ToolIcon/77.png")},
        {187, "5", 1, P("ToolIcon/77.png")},       {187, "no", 0, P("ToolIcon/defaultC.png")},
    };
    for (const auto& c : cases) {
        WriteKeys("Normalcfg.dat", {{"NormalTool", "SIZE", "1"},
                                    {"NormalTool", "1", "77"},
                                    {"TYPE", "1", std::to_string(c.type)},
                                    {"INSTALLED", "1", c.installed}});
        ASSERT_EQ(cat.LoadGeneralTools(), 1u);
        const ToolRecord& t = cat.GeneralTools()[0];
        EXPECT_EQ(t.installed, c.expectInstalled) << c.type << " " << c.installed;
        EXPECT_EQ(t.icon, c.icon) << c.type << " " << c.installed;
    }
}

TEST_F(CatalogLoad, MissingKeysReadAsNullAndZero) {
    WriteKeys("Normalcfg.dat", {{"NormalTool", "SIZE", "1"}, {"TYPE", "1", "189"}});
    ASSERT_EQ(cat.LoadGeneralTools(), 1u);
    const ToolRecord& t = cat.GeneralTools()[0];
    EXPECT_EQ(t.id, 0u);
    for (const std::string* text : {&t.title, &t.info, &t.exeName, &t.url, &t.version, &t.pngUrl}) {
        EXPECT_EQ(*text, "NULL");
    }
    EXPECT_EQ(t.scale, 0);
    EXPECT_EQ(t.time, 0u);
    EXPECT_EQ(t.gameId, 0u);
    EXPECT_EQ(t.gameDir, "");
}

TEST_F(CatalogLoad, TextsAreCutTo259Units) {
    WriteKeys("Normalcfg.dat", {{"NormalTool", "SIZE", "1"},
                                {"TYPE", "1", "189"},
                                {"TITLE", "1", std::string(300, 'x')},
                                {"INFO", "1", std::string(300 * 3, 'y') + "游"}});
    cat.LoadGeneralTools();
    EXPECT_EQ(cat.GeneralTools()[0].title, std::string(259, 'x'));
    EXPECT_EQ(cat.GeneralTools()[0].info, std::string(259, 'y'));
}

TEST_F(CatalogLoad, MissingFilesGiveEmptyLists) {
    cat.LoadAll();
    EXPECT_TRUE(cat.Games().empty());
    EXPECT_TRUE(cat.GeneralTools().empty());
    EXPECT_TRUE(cat.Used().empty());
    WriteGames({{12, "甲"}});
    EXPECT_EQ(cat.LoadGameTools(12, cat.Games().emplace_back()), 4u);
}

TEST_F(CatalogLoad, DamagedFilesNeverCrashAndKeepGoodItems) {
    const std::string good = "[NormalTool]\r\nSIZE=2\r\n1=5\r\n2=6\r\n[TYPE]\r\n1=187\r\n2=189\r\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"NUL bytes", std::string(100, '\0') + "\n" + good + std::string(5, '\0')},
        {"binary garbage", std::string("\x81\x00\xFF\xFE\x80\x01\n", 7) + good},
        {"malformed lines", "]]\n[\n==\n=5\nSIZE\n" + good + "[TYPE\n1==\n"},
        {"10 MB line", std::string(10 << 20, 'z') + "\n" + good},
        {"SIZE beyond every key",
         "[NormalTool]\r\nSIZE=4000000000\r\n1=5\r\n2=6\r\n"
         "[TYPE]\r\n1=187\r\n2=189\r\n"},
        {"SIZE larger than items",
         "[NormalTool]\r\nSIZE=9\r\n1=5\r\n2=6\r\n"
         "[TYPE]\r\n1=187\r\n2=189\r\n"},
    };
    for (const auto& [what, bytes] : cases) {
        dir.Write("Normalcfg.dat", bytes);
        EXPECT_EQ(cat.LoadGeneralTools(), 2u) << what;
        EXPECT_EQ(Ids(cat.GeneralTools()), (std::vector<uint32_t>{5, 6})) << what;
    }
    const std::vector<std::pair<const char*, std::string>> empty = {
        {"empty file", ""},
        {"only garbage", std::string("\xC3\x28\x00\xA0\xA1", 5)},
        {"negative SIZE", "[NormalTool]\nSIZE=-3\n1=5\n[TYPE]\n1=187\n"},
    };
    for (const auto& [what, bytes] : empty) {
        dir.Write("Normalcfg.dat", bytes);
        EXPECT_EQ(cat.LoadGeneralTools(), 0u) << what;
    }
}

TEST_F(CatalogLoad, UnreadableCatalogGivesEmptyList) {
    std::filesystem::create_directories(P("gamecfg.dat"));
    std::filesystem::create_directories(P("Usedcfg.dat"));
    cat.LoadAll();
    EXPECT_TRUE(cat.Games().empty());
    EXPECT_TRUE(cat.Used().empty());
}

TEST_F(CatalogLoad, UsedStartEntryTakesGameTitleAndIcon) {
    WriteGames({{1234, "神域传说"}});
    WriteKeys("Usedcfg.dat", {{"TOOL", "SIZE", "3"},
                              {"TOOL", "1", "123411"},
                              {"TITLE", "1", "启动游戏"},
                              {"TYPE", "1", "191"},
                              {"GAMEID", "1", "1234"},
                              {"TOOL", "2", "567811"},
                              {"TITLE", "2", "启动游戏"},
                              {"TYPE", "2", "191"},
                              {"GAMEID", "2", "5678"},
                              {"TOOL", "3", "42"},
                              {"TYPE", "3", "0"}});
    cat.LoadGames();
    ASSERT_EQ(cat.LoadUsed(), 2u);
    EXPECT_EQ(cat.Used()[0].title, "神域传说");
    EXPECT_EQ(cat.Used()[0].icon, P("GameIcon/1234.png"));
    EXPECT_EQ(cat.Used()[1].title, "启动游戏") << "game no longer listed";
    EXPECT_EQ(cat.Used()[1].icon, P("GameIcon/5678.png"));
    EXPECT_EQ(cat.Used()[0].pngUrl, "");
}

// Catalog files as users' machines hold them, in a program directory whose name is Chinese and
// has a space (a path the narrow Windows file functions would garble): every encoding loads,
// and a write keeps the encoding the file had.
TEST(CatalogEncodings, EachEncodingLoadsFromAChineseDirectoryAndKeepsItsEncoding) {
    struct Case {
        const char* name;
        std::string bom;
        const char* encoding;
    };
    const Case cases[] = {{"UTF-16LE", "\xFF\xFE", "UTF-16LE"},
                          {"UTF-8 with BOM", "\xEF\xBB\xBF", "UTF-8"},
                          {"UTF-8", "", "UTF-8"},
                          {"code page 936", "", "GBK"}};
    auto encode = [](const std::string& utf8, const char* encoding) {
        std::string bytes;
        EXPECT_TRUE(platform::ConvertFromUtf8(utf8, encoding, bytes)) << encoding;
        return bytes;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir temp;
        const std::string programDir = temp / "游戏 桌面/";
        temp.Write("游戏 桌面/Normalcfg.dat",
                   c.bom + encode("[NormalTool]\r\nSIZE=1\r\n1=20011\r\n[TITLE]\r\n1=存档备份\r\n"
                                  "[TYPE]\r\n1=187\r\n",
                                  c.encoding));

        catalog::Catalog cat(programDir);
        ASSERT_EQ(cat.LoadGeneralTools(), 1u);
        EXPECT_EQ(cat.GeneralTools()[0].title, "存档备份");

        catalog::IniFile file = catalog::IniFile::Load(programDir + "Normalcfg.dat");
        file.Set("TITLE", "1", "硬件信息");
        ASSERT_TRUE(file.Save().ok());
        const std::string saved = temp.Read("游戏 桌面/Normalcfg.dat");
        EXPECT_EQ(saved.substr(0, c.bom.size()), c.bom);
        EXPECT_NE(saved.find(encode("硬件信息", c.encoding)), std::string::npos);
        EXPECT_EQ(cat.LoadGeneralTools(), 1u);
        EXPECT_EQ(cat.GeneralTools()[0].title, "硬件信息");
    }
}

}  // namespace
