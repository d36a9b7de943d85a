#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <filesystem>
#include <random>

#include "DialogTestSupport.h"
#include "FrameCatcher.h"
#include "LoopbackWebServer.h"
#include "RunFixture.h"
#include "ZipBuilder.h"
#include "app/CatalogCommands.h"
#include "grid/ExecutablePicker.h"
#include "ui/DownloadDialog.h"

namespace {

using catalog::ViewKind;
using dialogtest::MessageBoxAnswerer;
using dialogtest::WaitFor;

class RunItemTest : public RunFixture {
  protected:
    // Two games, 1001 (below 10000) and 12345, the first with a stored program; general
    // tools of every kind the run tells apart.
    void WriteCatalogs(const std::string& automin) {
        dir_.WriteGames({1001, 12345});
        Append("gamecfg.dat",
               "[GAMEDIR]\n1001=" + GameProgram(1001) + "\n12345=" + GameProgram(12345) + "\n");
        dir_.WriteGeneralTools({
            {20001, 187, "装好的工具", 0, 1},
            {20002, 187, "没有地址的工具", 0, 0, ""},
            {20003, 189, "网页", 0, 0, "http://pages.test/a"},
            {20004, 189, "本地文件", 0, 0, "file:///bin/sh"},
            {20005, 189, "无协议网页", 0, 0, "www.pages.test/b"},
            {20011, 187, "以11结尾", 0, 1, "http://pages.test/11"},
            {20022, 187, "以22结尾", 0, 1, "http://pages.test/22"},
            {20033, 189, "以33结尾的网页", 0, 0, "http://pages.test/33"},
            {20044, 192, "以44结尾", 0, 1, "http://pages.test/44"},
        });
        dir_.Write("usercfg.dat", "[system]\nautomin=" + automin + "\n");
    }
    std::string GameProgram(uint32_t gameId) const {
        return dir_ / ("Games/" + std::to_string(gameId) + "/game.sh");
    }
    std::string GameFolder(uint32_t gameId) const {
        return dir_ / ("Games/" + std::to_string(gameId) + "/");
    }
};

struct DispatchCase {
    const char* name;
    ViewKind tab;
    uint32_t gameId;
    uint32_t itemId;
    const char* automin;
    bool programsStart;
    std::vector<std::string> events;  // after the report; "<dir>" stands for the program dir
    bool minimised;
    const char* usedTitle;  // the title it is listed with on the My tab; null: not listed
};

std::string Expand(std::string text, const std::string& dir) {
    const std::string marker = "<dir>";
    for (auto at = text.find(marker); at != std::string::npos; at = text.find(marker)) {
        text.replace(at, marker.size(), dir);
    }
    return text;
}

TEST_F(RunItemTest, EachKindOfItemRunsItsOwnWay) {
    const DispatchCase cases[] = {
        {"installed tool",
         ViewKind::GeneralTools,
         0,
         20001,
         "1",
         true,
         {"start <dir>LocalGameTool/20001/tool.exe in <dir>LocalGameTool/20001/"},
         true,
         "装好的工具"},
        {"installed tool, automin off",
         ViewKind::GeneralTools,
         0,
         20001,
         "0",
         true,
         {"start <dir>LocalGameTool/20001/tool.exe in <dir>LocalGameTool/20001/"},
         false,
         "装好的工具"},
        {"installed tool that fails to start is listed all the same",
         ViewKind::GeneralTools,
         0,
         20001,
         "1",
         false,
         {"start <dir>LocalGameTool/20001/tool.exe in <dir>LocalGameTool/20001/"},
         true,
         "装好的工具"},
        {"not installed and no address",
         ViewKind::GeneralTools,
         0,
         20002,
         "1",
         true,
         {},
         false,
         "没有地址的工具"},
        {"browser page",
         ViewKind::GeneralTools,
         0,
         20003,
         "1",
         true,
         {"url http://pages.test/a"},
         false,
         "网页"},
        {"browser page that is a local file",
         ViewKind::GeneralTools,
         0,
         20004,
         "1",
         true,
         {},
         false,
         "本地文件"},
        {"browser page without scheme",
         ViewKind::GeneralTools,
         0,
         20005,
         "1",
         true,
         {"url http://www.pages.test/b"},
         false,
         "无协议网页"},
        // Only ids above the fixed-entry bound are a game's entries: an ordinary tool whose
        // id ends in 11, 22 or 44 runs as the tool it is.
        {"tool whose id ends in 11 starts as a tool",
         ViewKind::GeneralTools,
         0,
         20011,
         "1",
         true,
         {"start <dir>LocalGameTool/20011/tool.exe in <dir>LocalGameTool/20011/"},
         true,
         "以11结尾"},
        {"tool whose id ends in 22 starts as a tool",
         ViewKind::GeneralTools,
         0,
         20022,
         "1",
         true,
         {"start <dir>LocalGameTool/20022/tool.exe in <dir>LocalGameTool/20022/"},
         true,
         "以22结尾"},
        {"web entry whose id ends in 33 opens its page",
         ViewKind::GeneralTools,
         0,
         20033,
         "1",
         true,
         {"url http://pages.test/33"},
         false,
         "以33结尾的网页"},
        {"tool with its own icon whose id ends in 44 starts as a tool",
         ViewKind::GeneralTools,
         0,
         20044,
         "1",
         true,
         {"start <dir>LocalGameTool/20044/tool.exe in <dir>LocalGameTool/20044/"},
         true,
         "以44结尾"},
        {"start entry of a small game",
         ViewKind::OnlineGames,
         1001,
         100111,
         "1",
         true,
         {"start <dir>Games/1001/game.sh in <dir>Games/1001/ hidden"},
         true,
         "启动游戏"},
        {"start entry whose stored program fails is listed",
         ViewKind::OnlineGames,
         1001,
         100111,
         "1",
         false,
         {"start <dir>Games/1001/game.sh in <dir>Games/1001/ hidden"},
         true,
         "启动游戏"},
        {"start entry of a big game takes the game's title",
         ViewKind::OnlineGames,
         12345,
         1234511,
         "1",
         true,
         {"start <dir>Games/12345/game.sh in <dir>Games/12345/ hidden"},
         true,
         "游戏2"},
        {"download entry of a small game is listed",
         ViewKind::OnlineGames,
         1001,
         100122,
         "1",
         true,
         {"url http://games.test/1001/down"},
         false,
         "下载游戏"},
        {"download entry of a big game is not listed",
         ViewKind::OnlineGames,
         12345,
         1234522,
         "1",
         true,
         {"url http://games.test/12345/down"},
         false,
         nullptr},
        {"site entry",
         ViewKind::OnlineGames,
         12345,
         1234533,
         "1",
         true,
         {"url http://games.test/12345/site"},
         false,
         "官方网站"},
        {"information entry",
         ViewKind::OnlineGames,
         12345,
         1234544,
         "1",
         true,
         {"url http://games.test/12345"},
         false,
         "资料专区"},
    };
    for (const DispatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        events_.clear();
        WriteCatalogs(c.automin);
        dir_.WriteUsed({});
        programsStart_ = c.programsStart;
        Open();
        Run(c.tab, c.itemId, c.gameId);

        std::vector<std::string> expected{"report " + std::to_string(c.itemId)};
        for (const std::string& event : c.events) {
            expected.push_back(Expand(event, dir_.dir()));
        }
        EXPECT_EQ(events_, expected);
        EXPECT_EQ(window_->isMinimized(), c.minimised);
        const catalog::ToolList& used = window_->Catalog().Used();
        if (c.usedTitle == nullptr) {
            EXPECT_TRUE(used.empty());
            EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "SIZE"), "0");
        } else {
            ASSERT_EQ(used.size(), 1u);
            EXPECT_EQ(used[0].title, c.usedTitle);
            EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "1"), std::to_string(c.itemId));
            EXPECT_EQ(Setting("Usedcfg.dat", "TITLE", "1"), c.usedTitle);
            ASSERT_EQ(window_->View(ViewKind::My)->ItemCount(), 1u);
        }
        window_.reset();
    }
}

TEST_F(RunItemTest, AnItemAlreadyListedLeavesTheMyListAndItsPage) {
    WriteCatalogs("0");
    std::vector<ProgramFixture::Tool> used;
    for (uint32_t n = 0; n < 25; ++n) {
        used.push_back({30001 + n, 187, "用过" + std::to_string(n + 1)});
    }
    used.push_back({20003, 189, "网页", 0, 0, "http://pages.test/a"});
    dir_.WriteUsed(used);
    Open();
    grid::GridView* my = window_->View(ViewKind::My);
    window_->ShowMyTab();
    my->GoToPage(2);
    const std::string before = dir_.Read("Usedcfg.dat");

    Run(ViewKind::GeneralTools, 20003);
    EXPECT_EQ(dir_.Read("Usedcfg.dat"), before);
    EXPECT_EQ(my->CurrentPage(), 2u);

    // A new item goes last and the My view starts again from its first page.
    Run(ViewKind::GeneralTools, 20005);
    EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "SIZE"), "27");
    EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "27"), "20005");
    EXPECT_EQ(my->CurrentPage(), 1u);
    EXPECT_EQ(my->ItemCount(), 27u);
}

TEST_F(RunItemTest, TheRunReportOutlivesTheWindowThatStartedIt) {
    FrameCatcher server;
    ASSERT_TRUE(server.Listening());
    dir_.Write("launcher.ini", server.LauncherIni());
    dir_.WriteGames({1001});
    dir_.WriteGameTools(1001, {{5001, 189, "论坛", 1001}});
    dir_.WriteGeneralTools({});
    Open();
    window_->Runner().SetReportSender({});
    Run(ViewKind::OnlineGames, 5001, 1001);
    // The tile and the window go while the report is on its way.
    window_.reset();

    ASSERT_TRUE(WaitFor([&] { return server.HasFrame(); }));
    const std::vector<std::string> fields = server.Fields();
    ASSERT_GE(fields.size(), 7u) << server.Received();
    EXPECT_EQ(fields[0], "^8");
    EXPECT_EQ(fields[4], "5001");
    EXPECT_EQ(fields[5], "1001");
    EXPECT_EQ(fields[6], "189");
    server.Answer();
    // The answer goes out through this thread's event loop before the report is waited for.
    ASSERT_TRUE(WaitFor([&] { return server.Closed(); }));
}

struct PickCase {
    const char* name;
    bool chosen;
    bool starts;
    bool listed;
    std::vector<std::string> boxes;
};

TEST_F(RunItemTest, AStartEntryWithoutAProgramAsksForIt) {
    const PickCase cases[] = {
        {"cancelled", false, true, false, {}},
        {"chosen and started", true, true, true, {}},
        {"chosen but cannot start", true, false, false, {"程序无法运行，请检查目录设置是否正确!"}},
    };
    for (const PickCase& c : cases) {
        SCOPED_TRACE(c.name);
        events_.clear();
        dir_.WriteGames({1001, 12345});
        dir_.WriteGeneralTools({});
        dir_.WriteUsed({});
        const std::string program = dir_ / "Chosen/bin/game.sh";
        int asked = 0;
        grid::SetExecutablePicker([&] {
            ++asked;
            return c.chosen ? QString::fromStdString(program) : QString();
        });
        programsStart_ = c.starts;
        MessageBoxAnswerer boxes(QMessageBox::Ok);
        Open();
        Run(ViewKind::OnlineGames, 1234511, 12345);
        grid::SetExecutablePicker({});

        EXPECT_EQ(asked, 1);
        std::vector<std::string> expected{"report 1234511"};
        if (c.chosen) {
            expected.push_back("start " + program + " in " + dir_ / "Chosen/bin/" + " hidden");
            EXPECT_EQ(Setting("gamecfg.dat", "GAMEDIR", "12345"), program);
            // The entry shows the game's icon from now on.
            EXPECT_EQ(Tile(ViewKind::OnlineGames, 1234511, 12345)->IconFile().toStdString(),
                      dir_ / "GameIcon/12345.png");
        }
        EXPECT_EQ(events_, expected);
        ASSERT_TRUE(WaitFor([&] { return boxes.SeenBoxes().size() >= c.boxes.size(); }));
        ASSERT_EQ(boxes.SeenBoxes().size(), c.boxes.size());
        for (std::size_t i = 0; i < c.boxes.size(); ++i) {
            EXPECT_EQ(boxes.SeenBoxes()[i].text, QString::fromStdString(c.boxes[i]));
            EXPECT_EQ(boxes.SeenBoxes()[i].buttons, QMessageBox::Ok);
        }
        if (c.listed) {
            EXPECT_EQ(UsedIds(), std::vector<std::string>{"1234511"});
            EXPECT_EQ(window_->Catalog().Used().front().title, "游戏2");
        } else {
            EXPECT_TRUE(UsedIds().empty());
        }
        window_.reset();
    }
}

struct UninstallCase {
    const char* name;
    ViewKind tab;
    uint32_t gameId;
    uint32_t itemId;
    std::string catalogFile;   // where its single INSTALLED key is
    std::string installedKey;  // its position there
};

TEST_F(RunItemTest, UninstallingMarksEveryListAndEmptiesTheToolsFolder) {
    const UninstallCase cases[] = {
        {"game tool", ViewKind::OnlineGames, 1001, 5002, "GameTool/1001.dat", "2"},
        {"general tool", ViewKind::GeneralTools, 0, 20002, "Normalcfg.dat", "2"},
    };
    for (const UninstallCase& c : cases) {
        SCOPED_TRACE(c.name);
        dir_.WriteGames({1001});
        dir_.WriteGameTools(1001, {{5001, 188, "攻略", 1001, 1}, {5002, 187, "补丁", 1001, 1}});
        dir_.WriteGeneralTools({{20001, 187, "工具1", 0, 1}, {20002, 187, "工具2", 0, 1}});
        dir_.WriteUsed({{20001, 187, "工具1", 0, 1},
                        {c.itemId, 187, "用过的", c.gameId, 1},
                        {5001, 188, "攻略", 1001, 1}});
        const std::string folder = "LocalGameTool/" + std::to_string(c.itemId);
        dir_.Write(folder + "/bin/tool.exe", "program");
        dir_.Write(folder + "/readme.txt", "text");
        Open();

        MessageBoxAnswerer yes(QMessageBox::Yes);
        Tile(c.tab, c.itemId, c.gameId)->RunCommand(grid::TileCommand::Delete);
        ASSERT_TRUE(dialogtest::WaitFor(
            [&] { return Setting(c.catalogFile, "INSTALLED", c.installedKey) == "0"; }));

        EXPECT_EQ(Setting(c.catalogFile, "INSTALLED", c.installedKey), "0");
        EXPECT_EQ(Setting(c.catalogFile, "INSTALLED", "1"), "1");
        EXPECT_EQ(Setting("Usedcfg.dat", "INSTALLED", "2"), "0");
        EXPECT_EQ(Setting("Usedcfg.dat", "INSTALLED", "1"), "1");
        EXPECT_EQ(Setting("Usedcfg.dat", "INSTALLED", "3"), "1");
        EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "SIZE"), "3");
        const std::string defaultD = dir_ / "ToolIcon/defaultD.png";
        EXPECT_EQ(Tile(c.tab, c.itemId, c.gameId)->IconFile().toStdString(), defaultD);
        EXPECT_EQ(Tile(ViewKind::My, c.itemId)->IconFile().toStdString(), defaultD);
        EXPECT_EQ(window_->Catalog().Used()[1].installed, 0);
        // The folder stays, empty.
        ASSERT_TRUE(std::filesystem::is_directory(dir_ / folder));
        EXPECT_TRUE(std::filesystem::is_empty(dir_ / folder));
        window_.reset();

        // A reload shows the tool's ordinary icon again.
        Open();
        EXPECT_EQ(Tile(c.tab, c.itemId, c.gameId)->IconFile().toStdString(),
                  dir_ / "ToolIcon/defaultC.png");
        window_.reset();
    }
}

TEST_F(RunItemTest, UninstallingAStartEntryForgetsTheGamesProgram) {
    dir_.WriteGames({1001, 1002});
    Append("gamecfg.dat", "[GAMEDIR]\n1001=/games/one\n1002=/games/two\n");
    dir_.WriteGeneralTools({});
    dir_.WriteUsed({});
    Open();
    Tile(ViewKind::OnlineGames, 100111, 1001)->RunCommand(grid::TileCommand::Delete);
    QCoreApplication::processEvents();
    EXPECT_EQ(Setting("gamecfg.dat", "GAMEDIR", "1001"), "");
    EXPECT_EQ(Setting("gamecfg.dat", "GAMEDIR", "1002"), "/games/two");

    // Running it now asks for the program again.
    int asked = 0;
    grid::SetExecutablePicker([&] {
        ++asked;
        return QString();
    });
    Run(ViewKind::OnlineGames, 100111, 1001);
    grid::SetExecutablePicker({});
    EXPECT_EQ(asked, 1);
}

// A tool whose program notes in its folder that it ran, with enough random bytes beside it
// that the download takes more than one part.
std::string ToolArchive() {
    ziptest::Item program =
        ziptest::File("Tool/tool.exe", "#!/bin/sh\necho started > started.txt\n");
    program.external = 0100755u << 16;
    std::mt19937 random(7);
    std::string noise(2 * dialogtest::LoopbackWebServer::kSlowHead, '\0');
    for (char& byte : noise) {
        byte = static_cast<char>(random());
    }
    return ziptest::Build({ziptest::Dir("Tool/"), program, ziptest::File("Tool/data.bin", noise)});
}

struct InstallCase {
    const char* name;
    ViewKind tab;
    uint32_t gameId;
    uint32_t itemId;
    std::string catalogFile;
    std::string installedKey;
};

TEST_F(RunItemTest, AToolNotInstalledIsDownloadedInstalledStartedAndListed) {
    const InstallCase cases[] = {
        {"general tool", ViewKind::GeneralTools, 0, 20002, "Normalcfg.dat", "2"},
        {"game tool", ViewKind::OnlineGames, 1001, 5002, "GameTool/1001.dat", "2"},
    };
    for (const InstallCase& c : cases) {
        SCOPED_TRACE(c.name);
        events_.clear();
        // The server holds the archive back after its first part until released, so the
        // window can be looked at while the download runs.
        dialogtest::LoopbackWebServer server;
        server.Put("/tool.zip", ToolArchive(), dialogtest::LoopbackWebServer::Mode::Slow);
        const std::string url = server.Url("/tool.zip");
        dir_.WriteGames({1001});
        dir_.WriteGameTools(1001,
                            {{5001, 187, "其他", 1001, 0}, {5002, 187, "补丁", 1001, 0, url}});
        dir_.WriteGeneralTools({{20001, 187, "工具1"}, {20002, 187, "下载的工具", 0, 0, url}});
        dir_.WriteUsed({});
        Open();
        Run(c.tab, c.itemId, c.gameId);

        // The download window is open over the main window and the tool is listed at once.
        QPointer<ui::DownloadDialog> dialog = window_->findChild<ui::DownloadDialog*>();
        ASSERT_FALSE(dialog.isNull());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(UsedIds(), std::vector<std::string>{std::to_string(c.itemId)});
        EXPECT_EQ(window_->Catalog().Used().front().installed, 0);
        EXPECT_EQ(events_, std::vector<std::string>{"report " + std::to_string(c.itemId)});

        server.Release();
        ASSERT_TRUE(WaitFor([&] { return dialog.isNull(); }));
        EXPECT_EQ(Setting(c.catalogFile, "INSTALLED", c.installedKey), "1");
        EXPECT_EQ(Setting(c.catalogFile, "INSTALLED", "1"), "0");
        EXPECT_EQ(Setting("Usedcfg.dat", "INSTALLED", "1"), "1");
        const std::string icon = dir_ / ("ToolIcon/" + std::to_string(c.itemId) + ".png");
        EXPECT_EQ(Tile(c.tab, c.itemId, c.gameId)->IconFile().toStdString(), icon);
        EXPECT_EQ(Tile(ViewKind::My, c.itemId)->IconFile().toStdString(), icon);
        EXPECT_EQ(window_->Catalog().Used().front().installed, 1);
        // The tool was started in its own folder.
        EXPECT_TRUE(WaitFor([&] {
            return std::filesystem::exists(
                dir_ / ("LocalGameTool/" + std::to_string(c.itemId) + "/started.txt"));
        }));
        window_.reset();
    }
}

}  // namespace
