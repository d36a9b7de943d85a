#include <gtest/gtest.h>

#include <functional>

#include "CatalogFixture.h"

using namespace catalog;

namespace {

class CatalogWrite : public CatalogFixture {
  protected:
    // "[name]" and its lines, each ended with CRLF as new files are written.
    static std::string Section(const std::string& name, const std::vector<std::string>& lines) {
        std::string out = "[" + name + "]\r\n";
        for (const auto& l : lines) {
            out += l + "\r\n";
        }
        return out;
    }

    ToolRecord Tool(uint32_t id, uint32_t type, const std::string& title, uint32_t time = 0) {
        ToolRecord t;
        t.id = id;
        t.type = type;
        t.title = title;
        t.info = title + "说明";
        t.time = time;
        return t;
    }

    GameRecord Game(uint32_t id, const std::string& title, uint32_t time = 0) {
        GameRecord g;
        g.id = id;
        g.title = title;
        g.time = time;
        return g;
    }
};

TEST_F(CatalogWrite, GeneralToolsFileLayout) {
    ToolRecord a = Tool(5, 187, "甲", 100);
    a.exeName = "a.exe";
    a.url = "http://u/5.zip";
    a.version = "1.0";
    a.scale = 3;
    a.dir = cat.ToolDirectory(5);
    a.installed = 1;
    ToolRecord b = Tool(6, 191, "乙", 200);
    b.pngUrl = "http://u/6.png";
    cat.GeneralTools() = {a, b};
    ASSERT_TRUE(cat.WriteTools(0).ok());
    const std::string expected =
        Section("INFO", {"1=甲说明", "2=乙说明"}) + Section("TITLE", {"1=甲", "2=乙"}) +
        Section("EXENAME", {"1=a.exe", "2="}) + Section("TYPE", {"1=187", "2=191"}) +
        Section("TIME", {"1=100", "2=200"}) + Section("URL", {"1=http://u/5.zip", "2="}) +
        Section("VERSION", {"1=1.0", "2="}) + Section("SCALE", {"1=3", "2=0"}) +
        Section("DIR", {"1=" + P("LocalGameTool/5/"), "2="}) +
        Section("PNGURL", {"1=", "2=http://u/6.png"}) +
        Section("NormalTool", {"1=5", "2=6", "SIZE=2"}) + Section("INSTALLED", {"1=1", "2=0"});
    EXPECT_EQ(dir.Read("Normalcfg.dat"), expected);
}

TEST_F(CatalogWrite, GameToolFileLayout) {
    WriteGames({{12, "甲"}});
    cat.LoadGames();
    ToolRecord t = Tool(300, 189, "攻略");
    t.gameDir = "gd";
    cat.Games()[0].tools->push_back(t);
    ASSERT_TRUE(cat.WriteTools(12).ok());
    const std::string expected =
        Section("INFO", {"1=攻略说明"}) + Section("TITLE", {"1=攻略"}) +
        Section("EXENAME", {"1="}) + Section("TYPE", {"1=189"}) + Section("TIME", {"1=0"}) +
        Section("URL", {"1="}) + Section("VERSION", {"1="}) + Section("SCALE", {"1=0"}) +
        Section("DIR", {"1="}) + Section("PNGURL", {"1="}) + Section("TOOL", {"1=300", "SIZE=1"}) +
        Section("GAMEDIR", {"1=gd"}) + Section("INSTALLED", {"1=0"});
    EXPECT_EQ(dir.Read("GameTool/12.dat"), expected);
}

TEST_F(CatalogWrite, AProgramPathWithALineBreakSetsNoOtherGamesPath) {
    // A file name on Linux may hold a line break, and the file dialog hands it over as it is.
    ASSERT_TRUE(cat.SetGameDirectory(12, "/g/a\n13=/bin/sh\r\n[TITLE]").ok());
    EXPECT_EQ(cat.GameDirectoryForRun(12), "/g/a 13=/bin/sh  [TITLE]");
    EXPECT_EQ(cat.GameDirectoryForRun(13), "");
    EXPECT_FALSE(catalog::IniFile::Load(dir / "gamecfg.dat").HasSection("TITLE"));
}

TEST_F(CatalogWrite, GamesFileLayoutLeavesProgramPathsAlone) {
    ASSERT_TRUE(cat.SetGameDirectory(12, "C:\\g\\a.exe").ok());
    GameRecord g = Game(12, "甲", 50);
    g.info = "介绍";
    g.exeName = "a.exe";
    g.downUrl = "http://d";
    g.showWeb = "http://s";
    g.site = "http://o";
    g.png = "http://p/12.png";
    cat.Games() = {g};
    ASSERT_TRUE(cat.WriteGames().ok());
    const std::string expected =
        Section("GAMEDIR", {"12=C:\\g\\a.exe"}) + Section("NETGAME", {"1=12", "SIZE=1"}) +
        Section("TITLE", {"1=甲"}) + Section("INFO", {"1=介绍"}) + Section("EXENAME", {"1=a.exe"}) +
        Section("DOWNURL", {"1=http://d"}) + Section("SHOWWEB", {"1=http://s"}) +
        Section("SITE", {"1=http://o"}) + Section("TIME", {"1=50"}) + Section("DIR", {"1="}) +
        Section("PNG", {"1=http://p/12.png"});
    EXPECT_EQ(dir.Read("gamecfg.dat"), expected);
}

TEST_F(CatalogWrite, UsedFileLayoutFromTheFirstAdd) {
    ToolRecord t = Tool(42, 187, "工具", 77);
    t.gameId = 3;
    t.dir = "d";
    ASSERT_TRUE(cat.AddUsed(t).ok());
    const std::string expected =
        Section("TOOL", {"TIME=77", "1=42", "SIZE=1"}) + Section("TITLE", {"1=工具"}) +
        Section("INFO", {"1=工具说明"}) + Section("EXENAME", {"1="}) + Section("TYPE", {"1=187"}) +
        Section("TIME", {"1=77"}) + Section("URL", {"1="}) + Section("VERSION", {"1="}) +
        Section("GAMEDIR", {"1="}) + Section("SCALE", {"1=0"}) + Section("DIR", {"1=d"}) +
        Section("GAMEID", {"1=3"}) + Section("INSTALLED", {"1=0"});
    EXPECT_EQ(dir.Read("Usedcfg.dat"), expected);
}

TEST_F(CatalogWrite, RoundTripKeepsEveryKeyAndLine) {
    const std::string original =
        "; kept comment\r\n"
        "[NormalTool]\r\nSIZE=2\r\n1=5\r\n2=6\r\n3=7\r\n"
        "[TITLE]\r\n1=甲\r\n2=乙\r\n3=beyond size\r\n"
        "[INFO]\r\n1=说明\r\n2=\"quoted\"\r\n"
        "[TYPE]\r\n1=187\r\n2=191\r\n"
        "[VERSION]\r\n1=2.1\r\n"
        "[PNGURL]\r\n2=http://x/6.png\r\n"
        "[SCALE]\r\n1=9\r\n"
        "[TIME]\r\n1=11\r\n2=22\r\n"
        "[INSTALLED]\r\n1=1\r\n"
        "[VENDOR]\r\nunknown=key\r\n";
    dir.Write("Normalcfg.dat", original);
    ASSERT_EQ(cat.LoadGeneralTools(), 2u);
    const ToolList before = cat.GeneralTools();
    ASSERT_TRUE(cat.WriteTools(0).ok());
    ASSERT_EQ(cat.LoadGeneralTools(), 2u);
    EXPECT_EQ(cat.GeneralTools(), before);
    EXPECT_EQ(before[1].pngUrl, "http://x/6.png");
    EXPECT_EQ(before[0].scale, 9);
    EXPECT_EQ(Value("Normalcfg.dat", "VENDOR", "unknown"), "key");
    EXPECT_EQ(Value("Normalcfg.dat", "TITLE", "3"), "beyond size");
    EXPECT_EQ(Value("Normalcfg.dat", "NormalTool", "3"), "7");
    EXPECT_EQ(dir.Read("Normalcfg.dat").rfind("; kept comment\r\n", 0), 0u);
    // A key the file lacked is written with the value it was read as.
    EXPECT_EQ(Value("Normalcfg.dat", "VERSION", "2"), "NULL");
    EXPECT_EQ(Value("Normalcfg.dat", "DIR", "2"), P("LocalGameTool/6/"));
}

TEST_F(CatalogWrite, GamesRoundTrip) {
    WriteGames({{12, "甲"}, {34, "乙"}});
    WriteTools("GameTool/12.dat", "TOOL", {{300, 191, "x", 1}, {301, 187, "y"}});
    cat.LoadGames();
    ASSERT_TRUE(cat.WriteGames().ok());
    ASSERT_TRUE(cat.WriteTools(12).ok());
    Catalog again(dir.dir());
    again.LoadGames();
    ASSERT_EQ(again.Games().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const GameRecord& a = cat.Games()[i];
        const GameRecord& b = again.Games()[i];
        EXPECT_EQ(std::tie(a.id, a.title, a.info, a.downUrl, a.showWeb, a.site, a.png, a.exeName,
                           a.time, a.icon),
                  std::tie(b.id, b.title, b.info, b.downUrl, b.showWeb, b.site, b.png, b.exeName,
                           b.time, b.icon));
        EXPECT_EQ(*a.tools, *b.tools);
        EXPECT_EQ(*a.display, *b.display);
    }
}

TEST_F(CatalogWrite, PutGamePosition) {
    struct Case {
        uint32_t id;
        std::size_t position;
        std::vector<uint32_t> order;
    };
    const std::vector<Case> cases = {
        {9, 5, {1, 2, 3, 9}}, {9, 4, {1, 2, 3, 9}},    {9, 3, {1, 2, 9, 3}}, {9, 2, {1, 9, 2, 3}},
        {9, 1, {9, 1, 2, 3}}, {9, 1000, {1, 2, 3, 9}}, {2, 1, {1, 2, 3}},
    };
    for (const auto& c : cases) {
        WriteGames({{1, "a"}, {2, "b"}, {3, "c"}});
        dir.Write("GameIcon/9.png", "png");
        cat.LoadGames();
        ASSERT_TRUE(cat.PutGame(Game(c.id, "新"), c.position).ok());
        std::vector<uint32_t> order;
        for (const auto& g : cat.Games()) {
            order.push_back(g.id);
        }
        EXPECT_EQ(order, c.order) << c.id << " at " << c.position;
        Catalog reloaded(dir.dir());
        reloaded.LoadGames();
        std::vector<uint32_t> fileOrder;
        for (const auto& g : reloaded.Games()) {
            fileOrder.push_back(g.id);
        }
        EXPECT_EQ(fileOrder, c.order) << c.id << " at " << c.position;
    }
}

TEST_F(CatalogWrite, PutGameOfAListedGameKeepsItsTools) {
    WriteGames({{1, "a"}, {2, "b"}});
    WriteTools("GameTool/2.dat", "TOOL", {{20, 187, "t"}});
    cat.LoadGames();
    GameRecord tileCopy = cat.Games()[1];
    GameRecord changed = Game(2, "新名字");
    ASSERT_TRUE(cat.PutGame(changed, 1).ok());
    const GameRecord& stored = cat.Games()[1];
    EXPECT_EQ(stored.title, "新名字");
    ASSERT_TRUE(stored.tools && stored.display);
    EXPECT_EQ(Ids(*stored.tools), std::vector<uint32_t>{20});
    EXPECT_EQ(stored.display->size(), 5u);
    stored.tools->clear();
    EXPECT_EQ(tileCopy.tools->size(), 1u) << "copies held elsewhere keep their lists";
}

TEST_F(CatalogWrite, PutToolReplacesOrAddsWithinTheLimit) {
    struct Case {
        std::size_t listSize;
        uint32_t id;
        std::size_t expectedPosition;
        std::size_t expectedSize;
    };
    const std::vector<Case> cases = {
        {3, 2, 2, 3},     // same id: replaced in place
        {3, 9999, 4, 4},  // appended
        {999, 9999, 1000, 1000},
        {1000, 9999, 1000, 1001},  // goes ahead of the 1000th
    };
    for (const auto& c : cases) {
        ToolList list;
        for (uint32_t i = 1; i <= c.listSize; ++i) {
            list.push_back(Tool(i, 187, "t"));
        }
        cat.GeneralTools() = list;
        ASSERT_TRUE(cat.PutTool(0, Tool(c.id, 189, "new")).ok());
        auto found = FindTool(cat.GeneralTools(), c.id);
        ASSERT_TRUE(found);
        EXPECT_EQ(found.position, c.expectedPosition) << c.listSize;
        EXPECT_EQ(found.record->title, "new");
        EXPECT_EQ(cat.GeneralTools().size(), c.expectedSize);
        if (c.listSize == 1000) {
            EXPECT_EQ(cat.GeneralTools()[1000].id, 1000u);
        }
        EXPECT_EQ(Value("Normalcfg.dat", "NormalTool", std::to_string(c.expectedPosition)),
                  std::to_string(c.id));
    }
}

TEST_F(CatalogWrite, PutToolIntoAGame) {
    WriteGames({{12, "甲"}});
    cat.LoadGames();
    EXPECT_EQ(cat.PutTool(34, Tool(1, 187, "x", 5)).code, Outcome::NotFound);
    EXPECT_FALSE(std::filesystem::exists(P("GameTool/34.dat")));
    EXPECT_EQ(Value("usercfg.dat", "ravikver", "lasttime"), "<missing>");

    GameRecord added = Game(56, "新游戏");
    ASSERT_TRUE(cat.PutGame(added, 1000).ok());
    ASSERT_TRUE(cat.PutTool(56, Tool(560, 191, "x", 5)).ok());
    EXPECT_EQ(Value("GameTool/56.dat", "TOOL", "1"), "560");
    ASSERT_TRUE(cat.PutTool(12, Tool(120, 187, "y", 3)).ok());
    EXPECT_EQ(Ids(*cat.Games()[0].tools), std::vector<uint32_t>{120});
    EXPECT_EQ(cat.Games()[0].display->size(), 4u) << "the display list waits for the reload";
    EXPECT_EQ(Value("usercfg.dat", "ravikver", "lasttime"), "5");
}

TEST_F(CatalogWrite, DropToolRewritesTheRest) {
    WriteTools("Normalcfg.dat", "NormalTool",
               {{1, 187, "a"}, {2, 187, "b"}, {3, 187, "c"}, {4, 187, "d"}, {5, 187, "e"}});
    cat.LoadGeneralTools();
    ASSERT_TRUE(cat.DropTool(0, 3).ok());
    EXPECT_EQ(Value("Normalcfg.dat", "NormalTool", "SIZE"), "4");
    EXPECT_EQ(Value("Normalcfg.dat", "NormalTool", "3"), "4");
    EXPECT_EQ(Value("Normalcfg.dat", "NormalTool", "4"), "5");
    EXPECT_EQ(Value("Normalcfg.dat", "NormalTool", "5"), "5") << "keys past SIZE stay";
    EXPECT_EQ(Value("Normalcfg.dat", "TITLE", "3"), "d");
    EXPECT_EQ(cat.DropTool(0, 3).code, Outcome::NotFound);
    EXPECT_EQ(cat.DropTool(77, 1).code, Outcome::NotFound);
}

TEST_F(CatalogWrite, DroppingTheLastItemIsWritten) {
    WriteGames({{12, "甲"}});
    WriteTools("GameTool/12.dat", "TOOL", {{300, 187, "x"}});
    WriteTools("Normalcfg.dat", "NormalTool", {{1, 187, "a"}});
    cat.LoadAll();
    ASSERT_TRUE(cat.DropTool(12, 300).ok());
    ASSERT_TRUE(cat.DropTool(0, 1).ok());
    ASSERT_TRUE(cat.DropGame(12).ok());
    Catalog reloaded(dir.dir());
    reloaded.LoadAll();
    EXPECT_TRUE(reloaded.Games().empty());
    EXPECT_TRUE(reloaded.GeneralTools().empty());
    EXPECT_EQ(Value("GameTool/12.dat", "TOOL", "SIZE"), "0");
    // Nothing to drop from empty lists.
    EXPECT_TRUE(cat.DropGame(12).ok());
    EXPECT_TRUE(cat.DropTool(0, 1).ok());
}

// A game whose icon has not arrived yet is not listed, but writing the games list must not
// lose it: one failed icon fetch would otherwise remove the game for good.
TEST_F(CatalogWrite, GameWaitingForItsIconStaysInTheFile) {
    WriteGames({{1, "a"}, {2, "等图标", false}, {3, "c"}});
    cat.LoadGames();
    ASSERT_EQ(cat.Games().size(), 2u);
    dir.Write("GameIcon/9.png", "png");
    ASSERT_TRUE(cat.PutGame(Game(9, "新"), 1000).ok());
    EXPECT_EQ(Value("gamecfg.dat", "NETGAME", "SIZE"), "4");
    EXPECT_EQ(Value("gamecfg.dat", "NETGAME", "4"), "2");
    EXPECT_EQ(Value("gamecfg.dat", "TITLE", "4"), "等图标");

    dir.Write("GameIcon/2.png", "png");
    Catalog reloaded(dir.dir());
    reloaded.LoadGames();
    ASSERT_EQ(reloaded.Games().size(), 4u);
    EXPECT_EQ(reloaded.Games()[3].title, "等图标");

    // The data server removing the waiting game removes it from the file.
    std::filesystem::remove(P("GameIcon/2.png"));
    reloaded.LoadGames();
    ASSERT_TRUE(reloaded.DropGame(2).ok());
    EXPECT_EQ(Value("gamecfg.dat", "NETGAME", "SIZE"), "3");
}

TEST_F(CatalogWrite, DropGameOfUnknownId) {
    WriteGames({{12, "甲"}, {34, "乙"}});
    cat.LoadGames();
    EXPECT_EQ(cat.DropGame(99).code, Outcome::NotFound);
    ASSERT_TRUE(cat.DropGame(12).ok());
    EXPECT_EQ(Value("gamecfg.dat", "NETGAME", "1"), "34");
    EXPECT_EQ(Value("gamecfg.dat", "NETGAME", "SIZE"), "1");
    EXPECT_TRUE(std::filesystem::exists(P("GameIcon/12.png")));
}

TEST_F(CatalogWrite, RaiseLastTimeOnlyRaises) {
    struct Case {
        const char* stored;
        uint32_t stamp;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {nullptr, 5, "5"},     {"7", 5, "7"},   {"7", 9, "9"},
        {"7", 7, "7"},         {"abc", 3, "3"}, {"4294967295", 5, "4294967295"},
        {nullptr, 0, nullptr},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(P("usercfg.dat"));
        if (c.stored != nullptr) {
            WriteKeys("usercfg.dat", {{"ravikver", "lasttime", c.stored}});
        }
        ASSERT_TRUE(cat.RaiseLastTime(c.stamp).ok());
        EXPECT_EQ(Value("usercfg.dat", "ravikver", "lasttime"),
                  c.expected ? c.expected : "<missing>")
            << (c.stored ? c.stored : "missing") << " raised to " << c.stamp;
    }
}

TEST_F(CatalogWrite, BatchSavesEachFileOnceAtTheEnd) {
    WriteGames({{12, "甲"}});
    cat.LoadGames();
    {
        Catalog::Batch batch(cat);
        for (uint32_t id = 1; id <= 3; ++id) {
            ASSERT_TRUE(cat.PutTool(0, Tool(id, 187, "t", id * 10)).ok());
            ASSERT_TRUE(cat.PutTool(12, Tool(100 + id, 187, "t", 5)).ok());
        }
        ASSERT_TRUE(cat.PutGame(Game(12, "改名"), 1).ok());
        EXPECT_FALSE(std::filesystem::exists(P("Normalcfg.dat")));
        EXPECT_FALSE(std::filesystem::exists(P("usercfg.dat")));
        EXPECT_EQ(Value("gamecfg.dat", "TITLE", "1"), "甲");
        ASSERT_TRUE(batch.Commit().ok());
    }
    EXPECT_EQ(Value("Normalcfg.dat", "NormalTool", "SIZE"), "3");
    EXPECT_EQ(Value("GameTool/12.dat", "TOOL", "3"), "103");
    EXPECT_EQ(Value("gamecfg.dat", "TITLE", "1"), "改名");
    EXPECT_EQ(Value("usercfg.dat", "ravikver", "lasttime"), "30");
}

TEST_F(CatalogWrite, BatchKeepsTheOrderOfChangesToOneFile) {
    WriteGames({{12, "甲"}, {34, "乙"}});
    WriteTools("Normalcfg.dat", "NormalTool", {{1, 187, "a"}, {2, 187, "b"}});
    cat.LoadAll();
    {
        Catalog::Batch batch(cat);
        ASSERT_TRUE(cat.PutTool(12, Tool(120, 187, "t")).ok());
        ASSERT_TRUE(cat.DropGame(12).ok()) << "the game goes after its tool change";
        ASSERT_TRUE(cat.PutTool(0, Tool(3, 187, "c")).ok());
        // A single-key write in the same batch sees the tool added just before.
        ToolRecord installed = Tool(3, 187, "c");
        ASSERT_TRUE(cat.MarkInstalled(installed).outcome.ok());
        ASSERT_TRUE(cat.AddUsed(Tool(3, 187, "c")).ok());
        EXPECT_EQ(cat.LoadUsed(), 1u) << "a reload in the batch sees the batch's changes";
        ASSERT_TRUE(batch.Commit().ok());
    }
    EXPECT_EQ(Value("GameTool/12.dat", "TOOL", "1"), "120");
    EXPECT_EQ(Value("gamecfg.dat", "NETGAME", "1"), "34");
    EXPECT_EQ(Value("Normalcfg.dat", "NormalTool", "3"), "3");
    EXPECT_EQ(Value("Normalcfg.dat", "INSTALLED", "3"), "1");
    EXPECT_EQ(Value("Usedcfg.dat", "TOOL", "1"), "3");
}

TEST_F(CatalogWrite, BatchCommitsWhenItGoesAway) {
    {
        Catalog::Batch batch(cat);
        ASSERT_TRUE(cat.PutTool(0, Tool(1, 187, "t", 4)).ok());
    }
    EXPECT_EQ(Value("Normalcfg.dat", "NormalTool", "1"), "1");
    EXPECT_EQ(Value("usercfg.dat", "ravikver", "lasttime"), "4");
}

TEST_F(CatalogWrite, StampStaysBehindCatalogThatCouldNotBeSaved) {
    WriteTools("Normalcfg.dat", "NormalTool", {{1, 187, "a"}});
    const std::string previous = dir.Read("Normalcfg.dat");
    std::filesystem::permissions(P("Normalcfg.dat"), std::filesystem::perms::owner_read);
    cat.LoadGeneralTools();

    EXPECT_EQ(cat.PutTool(0, Tool(2, 187, "b", 9)).code, Outcome::WriteFailed);
    EXPECT_EQ(dir.Read("Normalcfg.dat"), previous);
    EXPECT_EQ(Value("usercfg.dat", "ravikver", "lasttime"), "<missing>");

    Catalog::Batch batch(cat);
    EXPECT_TRUE(cat.PutTool(0, Tool(3, 187, "c", 9)).ok());
    EXPECT_EQ(batch.Commit().code, Outcome::WriteFailed);
    EXPECT_EQ(dir.Read("Normalcfg.dat"), previous);
    EXPECT_EQ(Value("usercfg.dat", "ravikver", "lasttime"), "<missing>");
}

TEST_F(CatalogWrite, WritersReportFailureAndKeepThePreviousFile) {
    WriteGames({{12, "甲"}});
    cat.LoadGames();
    const std::vector<std::pair<const char*, std::function<Outcome()>>> writers = {
        {"PutGame", [&] { return cat.PutGame(Game(34, "乙"), 1000); }},
        {"DropGame", [&] { return cat.DropGame(12); }},
        {"SetGameDirectory", [&] { return cat.SetGameDirectory(12, "x"); }},
    };
    for (const auto& [what, write] : writers) {
        const std::string previous = dir.Read("gamecfg.dat");
        std::filesystem::permissions(P("gamecfg.dat"), std::filesystem::perms::owner_read);
        EXPECT_EQ(write().code, Outcome::WriteFailed) << what;
        EXPECT_EQ(dir.Read("gamecfg.dat"), previous) << what;
        std::filesystem::permissions(P("gamecfg.dat"), std::filesystem::perms::owner_all);
        cat.LoadGames();
    }
}

}  // namespace
