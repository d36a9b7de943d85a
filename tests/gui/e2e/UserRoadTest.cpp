// The road a new user walks, on real widgets against the demo's data server: a program
// directory with nothing but launcher.ini and the default icons, the first start and its
// synchronisation, a game opened, one of its web pages, a general tool downloaded, installed
// and started, the My tab, the tool uninstalled again, and the reports the server stored.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "Programs.h"
#include "StoredReports.h"
#include "app/BusyIndicator.h"
#include "app/CatalogCommands.h"
#include "app/JobRunner.h"
#include "app/MainWindow.h"
#include "catalog/IniFile.h"
#include "grid/GridView.h"
#include "grid/ItemTile.h"
#include "platform/HostIdentity.h"
#include "server/VersionCheck.h"
#include "ui/DownloadDialog.h"
#include "ui/PngButton.h"
#include "ui/WebBoxRegister.h"
#include "ui/WebPageBoxHost.h"

namespace {

using app::MainWindow;
using catalog::ViewKind;
using dialogtest::WaitFor;

// Generous bounds for the asynchronous steps; they only end a broken run.
constexpr int kSyncLimitMs = 120000;
constexpr int kStepLimitMs = 60000;

// The demo's games, and the items the road uses: a small web box page of the first game and
// a general tool with an icon of its own.
const uint32_t kGames[] = {10201, 10202, 10203, 10204, 10205, 10206,
                           10207, 10208, 10209, 10210, 10211, 10212};
constexpr uint32_t kGame = 10201;
constexpr uint32_t kWebEntry = 30013;
constexpr uint32_t kTool = 20001;

class UserRoadTest : public testing::Test {
  protected:
    void SetUp() override {
        ui::WebPageBoxHost::Process().SetProgram(QStringLiteral(WEBBOX_PATH));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.path().string()));
        // The demo tool only notes where it was started and ends: there is no one to look
        // at its window.
        qputenv("RAVIK_DEMO_TOOL_MARKER", QByteArray::fromStdString(config_ / "started.txt"));
    }
    void TearDown() override {
        window_.reset();
        qunsetenv("RAVIK_DEMO_TOOL_MARKER");
    }

    std::string Setting(const std::string& file, const std::string& section,
                        const std::string& key) const {
        return catalog::IniFile::Load(prog_ / file).GetString(section, key, "<missing>", 400);
    }

    // The position of general tool `id` in Normalcfg.dat, as its keys name it.
    std::string GeneralToolPosition(uint32_t id) const {
        const catalog::IniFile file = catalog::IniFile::Load(prog_ / "Normalcfg.dat");
        const uint32_t size = file.GetInt("NormalTool", "SIZE", 0);
        for (uint32_t position = 1; position <= size; ++position) {
            const std::string key = std::to_string(position);
            if (file.GetString("NormalTool", key, "", 40) == std::to_string(id)) {
                return key;
            }
        }
        return "<none>";
    }

    void Click(MainWindow::Control id) {
        QTest::mouseClick(window_->Button(id), Qt::LeftButton, {}, QPoint(5, 5));
    }

    // The tile of item `id` in the view on show, paging through it as needed.
    grid::ItemTile* Tile(ViewKind kind, uint32_t id) {
        grid::GridView* view = window_->View(kind);
        for (unsigned page = 1; page <= view->PageCount(); ++page) {
            view->GoToPage(page);
            for (grid::ItemTile* tile : view->VisibleTiles()) {
                if (tile->ItemId() == id) {
                    return tile;
                }
            }
        }
        ADD_FAILURE() << "no tile " << id;
        return nullptr;
    }

    std::vector<uint32_t> ShownIds(ViewKind kind) const {
        std::vector<uint32_t> ids;
        for (grid::ItemTile* tile : window_->View(kind)->VisibleTiles()) {
            ids.push_back(tile->ItemId());
        }
        return ids;
    }

    TempDir config_;
    TempDir prog_;
    TempDir serverData_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(UserRoadTest, FromAnEmptyProgramDirectoryToAToolInstalledAndUninstalled) {
    DataServerProcess server(serverData_ / "server.db", FIXTURE_DIR "/seed.json");
    const std::string web = server.HttpBase();
    const std::string webHost = web.substr(std::string("http://").size());

    // The program directory as a fresh installation has it.
    for (const char* icon : {"defaultC.png", "defaultD.png", "defaultE.png"}) {
        std::filesystem::create_directories(prog_ / "ToolIcon");
        std::filesystem::copy_file(std::string(DEMO_DIR "/ToolIcon/") + icon,
                                   prog_ / (std::string("ToolIcon/") + icon));
    }
    prog_.Write("launcher.ini", "[server]\nhost=127.0.0.1\nport=" + std::to_string(server.Port()) +
                                    "\n[web]\nproduct=" + web + "\nforum=" + web +
                                    "/bbs\ndownload=" + web + "\n");

    // ---- The first start: the start report, the newer version declined, the catalog.
    std::optional<dialogtest::MessageBoxAnswerer> boxes(std::in_place, QMessageBox::Cancel);
    window_ = std::make_unique<MainWindow>(app::DeskOptions::For(prog_.dir()));
    MainWindow& window = *window_;
    window.Start();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // The synchronisation builds the grids anew, so the views are looked up each time.
    ASSERT_TRUE(WaitFor(
        [&] { return window.View(ViewKind::OnlineGames)->ItemCount() == std::size(kGames); },
        kSyncLimitMs))
        << server.Log();
    ASSERT_TRUE(WaitFor([&] { return window.isEnabled() && window.Busy().Box() == nullptr; },
                        kStepLimitMs));
    EXPECT_EQ(window.SelectedTab(), MainWindow::OnlineTabButton);
    EXPECT_EQ(window.View(ViewKind::GeneralTools)->ItemCount(), 25u);
    EXPECT_EQ(Setting("usercfg.dat", "system", "firststart"), "1");
    ASSERT_EQ(boxes->SeenBoxes().size(), 1u);
    EXPECT_EQ(boxes->SeenBoxes()[0].text, QString::fromUtf8(server::kAskUpdateText));
    // Every game's icon came from the server's web service, byte for byte.
    for (uint32_t game : kGames) {
        SCOPED_TRACE(game);
        const std::string name = "GameIcon/" + std::to_string(game) + ".png";
        EXPECT_EQ(prog_.Read(name), ReadWholeFile(std::string(DEMO_DIR "/") + name));
    }
    EXPECT_EQ(prog_.Read("ToolIcon/20001.png"), ReadWholeFile(DEMO_DIR "/ToolIcon/20001.png"));

    // ---- A game opened with a double click on its tile.
    Click(MainWindow::OnlineTabButton);
    grid::ItemTile* gameTile = Tile(ViewKind::OnlineGames, kGame);
    ASSERT_NE(gameTile, nullptr);
    EXPECT_EQ(gameTile->IconFile().toStdString(), prog_ / "GameIcon/10201.png");
    QTest::mouseDClick(gameTile, Qt::LeftButton);
    ASSERT_EQ(window.View(ViewKind::OnlineGames)->EnteredGameId(), kGame);
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("神域传说"));

    // ---- Its guide, a small web box page, opens on the loading page and goes on to it.
    grid::ItemTile* webTile = Tile(ViewKind::OnlineGames, kWebEntry);
    ASSERT_NE(webTile, nullptr);
    QTest::mouseDClick(webTile, Qt::LeftButton);
    // The box opens in the web box helper; the launcher hears when it is on screen.
    ui::WebPageBoxHost& webBoxes = ui::WebPageBoxHost::Process();
    ASSERT_EQ(webBoxes.Boxes().size(), 1u);
    ASSERT_TRUE(WaitFor([&] { return !webBoxes.Boxes()[0].frame.isNull(); }, kStepLimitMs));
    const ui::WebPageBoxHost::Box box = webBoxes.Boxes()[0];
    EXPECT_EQ(box.itemId, kWebEntry);
    EXPECT_EQ(box.title, QStringLiteral("神域传说： 新手指南"));
    EXPECT_EQ(box.size, ui::WebPageSize::Small);
    EXPECT_EQ(box.page, QUrl(QString::fromStdString(web + "/load/LoadingPage.htm?q=" + webHost +
                                                    "/pages/30013.html")));
    EXPECT_TRUE(ui::WebBoxRegister::Process().IsOpen(kWebEntry));
    webBoxes.Close(box.key);
    ASSERT_TRUE(WaitFor([&] { return webBoxes.Boxes().empty(); }));
    EXPECT_EQ(ui::WebBoxRegister::Process().State(kWebEntry), ui::WebBoxRegister::BoxState::Closed);

    // ---- A general tool that is not installed: downloaded, installed, started.
    Click(MainWindow::ToolsTabButton);
    grid::ItemTile* toolTile = Tile(ViewKind::GeneralTools, kTool);
    ASSERT_NE(toolTile, nullptr);
    EXPECT_EQ(toolTile->IconFile().toStdString(), prog_ / "ToolIcon/defaultD.png");
    QTest::mouseDClick(toolTile, Qt::LeftButton);
    QPointer<ui::DownloadDialog> download = window.findChild<ui::DownloadDialog*>();
    ASSERT_FALSE(download.isNull());
    EXPECT_TRUE(download->isVisible());
    EXPECT_TRUE(download->windowTitle().contains(QStringLiteral("截图助手")))
        << download->windowTitle().toStdString();
    ASSERT_TRUE(WaitFor([&] { return download.isNull(); }, kStepLimitMs));

    const std::string toolDir = prog_ / "LocalGameTool/20001";
    EXPECT_TRUE(std::filesystem::is_regular_file(toolDir + "/Snap"));
    EXPECT_TRUE(std::filesystem::is_regular_file(toolDir + "/tool.json"));
    EXPECT_TRUE(WaitFor([&] { return config_.Read("started.txt") == "20001 " + toolDir + "\n"; },
                        kStepLimitMs))
        << config_.Read("started.txt");
    const std::string position = GeneralToolPosition(kTool);
    EXPECT_EQ(Setting("Normalcfg.dat", "INSTALLED", position), "1");
    const std::string ownIcon = prog_ / "ToolIcon/20001.png";
    EXPECT_EQ(Tile(ViewKind::GeneralTools, kTool)->IconFile().toStdString(), ownIcon);

    // ---- The My tab lists both, in the order they were run.
    Click(MainWindow::MyTabButton);
    EXPECT_EQ(ShownIds(ViewKind::My), (std::vector<uint32_t>{kWebEntry, kTool}));
    EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "SIZE"), "2");
    EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "1"), "30013");
    EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "2"), "20001");
    EXPECT_EQ(Setting("Usedcfg.dat", "INSTALLED", "2"), "1");
    EXPECT_EQ(Tile(ViewKind::My, kTool)->IconFile().toStdString(), ownIcon);

    // ---- Uninstalled with "删除" from its context menu on the general-tools tab, after a yes
    // to the question. No other box came up on the way.
    EXPECT_EQ(boxes->SeenBoxes().size(), 1u);
    boxes.emplace(QMessageBox::Yes);
    Click(MainWindow::ToolsTabButton);
    toolTile = Tile(ViewKind::GeneralTools, kTool);
    ASSERT_NE(toolTile, nullptr);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(30, 30),
                                toolTile->mapToGlobal(QPoint(30, 30)));
    QApplication::sendEvent(toolTile, &menuEvent);
    QPointer<QMenu> menu = toolTile->OpenMenu();
    ASSERT_FALSE(menu.isNull());
    bool chosen = false;
    for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("删除")) {
            action->trigger();
            chosen = true;
        }
    }
    ASSERT_TRUE(chosen);
    menu->close();
    ASSERT_TRUE(WaitFor([&] { return Setting("Normalcfg.dat", "INSTALLED", position) == "0"; }));
    EXPECT_EQ(Setting("Usedcfg.dat", "INSTALLED", "2"), "0");
    ASSERT_TRUE(std::filesystem::is_directory(toolDir));
    EXPECT_TRUE(std::filesystem::is_empty(toolDir));
    EXPECT_EQ(Tile(ViewKind::GeneralTools, kTool)->IconFile().toStdString(),
              prog_ / "ToolIcon/defaultD.png");

    // ---- The server holds the start report and the two run reports.
    ASSERT_TRUE(WaitFor([&] { return window.Jobs().Running() == 0; }, kStepLimitMs));
    const std::string db = serverData_ / "server.db";
    std::vector<std::vector<std::string>> rows;
    EXPECT_TRUE(WaitFor(
        [&] {
            rows = StoredReports(db);
            return rows.size() >= 3;
        },
        kStepLimitMs));
    ASSERT_EQ(rows.size(), 3u);
    const std::string mac = platform::MacAddressText();
    const std::string ip = platform::LocalIpv4Text();
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(row[1], mac);
        EXPECT_EQ(row[2], ip);
        EXPECT_TRUE(LooksLikeReportTime(row[3])) << row[3];
    }
    EXPECT_EQ((std::vector<std::string>{rows[0][0], rows[0][4]}),
              (std::vector<std::string>{"start", "0"}));
    const std::vector<std::vector<std::string>> runs{
        {"run", "30013", "10201", "188"},
        {"run", "20001", "0", "191"},
    };
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto& row = rows[i + 1];
        EXPECT_EQ((std::vector<std::string>{row[0], row[5], row[6], row[7]}), runs[i]);
    }
    ASSERT_EQ(boxes->SeenBoxes().size(), 1u);
    EXPECT_EQ(boxes->SeenBoxes()[0].text,
              QString::fromStdString(app::CatalogCommands::UninstallQuestion("截图助手")));
}

}  // namespace
