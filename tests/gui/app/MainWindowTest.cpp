#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <memory>

#include "DialogTestSupport.h"
#include "ProgramFixture.h"
#include "UrlRecorder.h"
#include "app/BusyIndicator.h"
#include "app/CatalogCommands.h"
#include "app/MainMenu.h"
#include "app/MainWindow.h"
#include "app/PageBar.h"
#include "app/ServerLink.h"
#include "app/TrayHandler.h"
#include "catalog/IniFile.h"
#include "grid/GridView.h"
#include "grid/ItemTile.h"
#include "platform/Autostart.h"
#include "platform/Shell.h"
#include "ui/AboutBox.h"
#include "ui/PngButton.h"
#include "ui/UpgradeReport.h"

namespace {

using app::MainWindow;
using catalog::ViewKind;
using grid::PageCommand;

// The main window over a fixture program directory, without a data server.
class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        // The autostart entry goes below this test's own configuration directory.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.path().string()));
    }
    void TearDown() override {
        window_.reset();
        app::TrayHandler::SetAvailability({});
    }

    MainWindow& Open() {
        app::DeskOptions options = app::DeskOptions::For(dir_.dir());
        options.startServerWorker = false;
        window_ = std::make_unique<MainWindow>(options);
        window_->Start();
        window_->show();
        return *window_;
    }

    std::string Setting(const std::string& file, const std::string& section,
                        const std::string& key) const {
        return catalog::IniFile::Load(dir_ / file).GetString(section, key, "<missing>", 400);
    }

    void Click(MainWindow::Control id) {
        QTest::mouseClick(window_->Button(id), Qt::LeftButton, {}, QPoint(5, 5));
    }
    void ClickDot(int number) {
        QTest::mouseClick(window_->Pages().Dot(number), Qt::LeftButton, {}, QPoint(12, 12));
    }
    void ClickPaging(PageCommand command) {
        QTest::mouseClick(window_->Pages().Button(command), Qt::LeftButton, {}, QPoint(12, 12));
    }
    bool Shown(MainWindow::Control id) const { return window_->Button(id)->isVisible(); }

    ProgramFixture dir_;
    TempDir config_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, HasItsSizeTitleAndControlsInPlace) {
    MainWindow& window = Open();
    EXPECT_EQ(window.size(), QSize(310, 528));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Ravik游戏桌面"));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    const std::vector<std::pair<MainWindow::Control, QRect>> places = {
        {MainWindow::MinimiseButton, {265, 9, 20, 20}},
        {MainWindow::CloseButton, {285, 9, 20, 20}},
        {MainWindow::SettingsButton, {237, 9, 20, 20}},
        {MainWindow::HelpButton, {210, 9, 20, 20}},
        {MainWindow::MyTabButton, {2, 32, 110, 41}},
        {MainWindow::OnlineTabButton, {104, 32, 110, 41}},
        {MainWindow::ToolsTabButton, {206, 32, 110, 41}},
        {MainWindow::ForumButton, {230, 504, 72, 20}},
        {MainWindow::DeleteAllButton, {172, 76, 70, 20}}};
    for (const auto& [id, rect] : places) {
        SCOPED_TRACE(id);
        EXPECT_EQ(window.Button(id)->geometry(), rect);
    }
    for (int k = 1; k <= 7; ++k) {
        EXPECT_EQ(window.Pages().Dot(k)->geometry(), QRect(71 + 24 * (k - 1), 471, 24, 24));
    }
    EXPECT_EQ(window.Pages().Button(PageCommand::First)->geometry(), QRect(22, 471, 24, 24));
    EXPECT_EQ(window.Pages().Button(PageCommand::Previous)->geometry(), QRect(44, 471, 24, 24));
    EXPECT_EQ(window.Pages().Button(PageCommand::Next)->geometry(), QRect(243, 471, 24, 24));
    EXPECT_EQ(window.Pages().Button(PageCommand::Last)->geometry(), QRect(263, 471, 24, 24));
    EXPECT_EQ(window.ListLabel()->geometry(), QRect(30, 78, 120, 16));
    EXPECT_EQ(window.ListLabel()->palette().color(QPalette::Window), QColor(8, 27, 43));
    EXPECT_EQ(window.Button(MainWindow::MinimiseButton)->toolTip(), QStringLiteral("最小化"));
    EXPECT_EQ(window.Button(MainWindow::CloseButton)->toolTip(), QStringLiteral("关闭"));
    EXPECT_EQ(window.Button(MainWindow::SettingsButton)->toolTip(), QStringLiteral("主菜单"));
    EXPECT_EQ(window.Button(MainWindow::HelpButton)->toolTip(), QStringLiteral("使用教程"));
}

struct StartCase {
    const char* name;
    bool usedEntries;
    MainWindow::Control tab;
    QString label;
    bool manageShown;
};

void PrintTo(const StartCase& c, std::ostream* out) {
    *out << c.name;
}

class StartTabTest : public MainWindowTest, public testing::WithParamInterface<StartCase> {};

TEST_P(StartTabTest, OpensOnMyTabOnlyWithUsedEntries) {
    const StartCase& c = GetParam();
    dir_.WriteGames(3);
    dir_.WriteGeneralTools(2);
    if (c.usedEntries) {
        dir_.WriteUsed({{20001, 187, "工具1"}});
    } else {
        dir_.Write("Usedcfg.dat", "[TOOL]\nSIZE=0\n");
    }
    MainWindow& window = Open();
    EXPECT_EQ(window.SelectedTab(), c.tab);
    EXPECT_EQ(window.ListLabel()->text(), c.label);
    EXPECT_EQ(Shown(MainWindow::ManageOrBackButton), c.manageShown);
    EXPECT_TRUE(window.ViewOnShow()->isVisible());
    int visibleViews = 0;
    for (ViewKind kind : {ViewKind::OnlineGames, ViewKind::My, ViewKind::GeneralTools}) {
        visibleViews += window.View(kind)->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(visibleViews, 1);
    EXPECT_TRUE(window.Button(static_cast<MainWindow::Control>(c.tab))->IsSelected());
    EXPECT_EQ(window.Pages().SelectedDot(), 1);
}

INSTANTIATE_TEST_SUITE_P(UsedList, StartTabTest,
                         testing::Values(StartCase{"Empty", false, MainWindow::OnlineTabButton,
                                                   QStringLiteral("网络游戏"), false},
                                         StartCase{"NotEmpty", true, MainWindow::MyTabButton,
                                                   QStringLiteral("我的Ravik"), true}),
                         [](const testing::TestParamInfo<StartCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(MainWindowTest, LeavingTheMyTabEndsManageMode) {
    dir_.WriteGames(2);
    dir_.WriteUsed({{20001, 187, "工具1"}, {20002, 187, "工具2"}});
    MainWindow& window = Open();
    grid::GridView* my = window.View(ViewKind::My);

    Click(MainWindow::ManageOrBackButton);
    EXPECT_TRUE(my->ManageMode());
    EXPECT_TRUE(Shown(MainWindow::DeleteAllButton));
    for (grid::ItemTile* tile : my->VisibleTiles()) {
        EXPECT_TRUE(tile->DeleteMark());
    }

    Click(MainWindow::OnlineTabButton);
    EXPECT_FALSE(my->ManageMode());
    EXPECT_FALSE(Shown(MainWindow::DeleteAllButton));
    EXPECT_FALSE(Shown(MainWindow::ManageOrBackButton));
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("网络游戏"));

    Click(MainWindow::MyTabButton);
    ASSERT_EQ(my->VisibleTiles().size(), 2u);
    for (grid::ItemTile* tile : my->VisibleTiles()) {
        EXPECT_FALSE(tile->DeleteMark());
    }
    Click(MainWindow::ManageOrBackButton);
    Click(MainWindow::ToolsTabButton);
    EXPECT_FALSE(my->ManageMode());
    EXPECT_FALSE(Shown(MainWindow::DeleteAllButton));
    EXPECT_FALSE(Shown(MainWindow::ManageOrBackButton));
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("通用工具"));
}

TEST_F(MainWindowTest, EachTabKeepsItsPage) {
    dir_.WriteGames(45);
    dir_.WriteGeneralTools(30);
    MainWindow& window = Open();
    ClickDot(3);
    Click(MainWindow::ToolsTabButton);
    EXPECT_EQ(window.Pages().SelectedDot(), 1);
    ClickPaging(PageCommand::Next);
    Click(MainWindow::OnlineTabButton);
    EXPECT_EQ(window.View(ViewKind::OnlineGames)->CurrentPage(), 3u);
    EXPECT_EQ(window.Pages().SelectedDot(), 3);
    Click(MainWindow::ToolsTabButton);
    EXPECT_EQ(window.View(ViewKind::GeneralTools)->CurrentPage(), 2u);
    EXPECT_EQ(window.Pages().SelectedDot(), 2);
}

// A click on the paging row and the page and dot it leaves.
struct Click {
    int dot;  // 1 to 7, or 0 for the command
    PageCommand command;
    unsigned page;
    int selectedDot;
};

struct PagingRowCase {
    const char* name;
    int items;
    std::vector<Click> clicks;
};

void PrintTo(const PagingRowCase& c, std::ostream* out) {
    *out << c.name;
}

class PagingRowTest : public MainWindowTest, public testing::WithParamInterface<PagingRowCase> {};

TEST_P(PagingRowTest, PagesTheViewOnShowAndSelectsOneDot) {
    const PagingRowCase& c = GetParam();
    dir_.WriteGeneralTools(c.items);
    MainWindow& window = Open();
    Click(MainWindow::ToolsTabButton);
    int n = 0;
    for (const auto& click : c.clicks) {
        SCOPED_TRACE(n++);
        if (click.dot > 0) {
            ClickDot(click.dot);
        } else {
            ClickPaging(click.command);
        }
        EXPECT_EQ(window.View(ViewKind::GeneralTools)->CurrentPage(), click.page);
        EXPECT_EQ(window.Pages().SelectedDot(), click.selectedDot);
    }
}

constexpr PageCommand kNone = PageCommand::First;

INSTANTIATE_TEST_SUITE_P(Rows, PagingRowTest,
                         testing::Values(PagingRowCase{"FortyFive",
                                                       45,
                                                       {{3, kNone, 3, 3},
                                                        {4, kNone, 3, 3},
                                                        {7, kNone, 3, 3},
                                                        {0, PageCommand::Next, 3, 3},
                                                        {0, PageCommand::First, 1, 1},
                                                        {0, PageCommand::Last, 3, 3},
                                                        {0, PageCommand::Previous, 2, 2}}},
                                         PagingRowCase{"NinePages",
                                                       161,
                                                       {{6, kNone, 6, 6},
                                                        {0, PageCommand::Next, 7, 7},
                                                        {0, PageCommand::Next, 8, 1},
                                                        {7, kNone, 8, 1},
                                                        {0, PageCommand::Last, 9, 1},
                                                        {0, PageCommand::Previous, 8, 1},
                                                        {0, PageCommand::Previous, 7, 7},
                                                        {1, kNone, 1, 1}}},
                                         PagingRowCase{"Empty",
                                                       0,
                                                       {{2, kNone, 1, 1},
                                                        {0, PageCommand::Next, 1, 1},
                                                        {0, PageCommand::Last, 1, 1}}}),
                         [](const testing::TestParamInfo<PagingRowCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(MainWindowTest, EnteringAGameFromPageThreeAndGoingBack) {
    dir_.WriteGames(45);
    MainWindow& window = Open();
    grid::GridView* online = window.View(ViewKind::OnlineGames);
    ClickDot(3);
    grid::ItemTile* game = online->VisibleTiles().at(1);
    QTest::mouseDClick(game, Qt::LeftButton);

    EXPECT_EQ(online->CurrentPage(), 1u);
    EXPECT_EQ(window.Pages().SelectedDot(), 1);
    EXPECT_TRUE(Shown(MainWindow::ManageOrBackButton));
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("游戏42"));
    EXPECT_EQ(online->VisibleTiles().size(), 4u);

    // The tab keeps the entered game while another tab is on show.
    Click(MainWindow::ToolsTabButton);
    Click(MainWindow::OnlineTabButton);
    EXPECT_TRUE(Shown(MainWindow::ManageOrBackButton));
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("游戏42"));

    Click(MainWindow::ManageOrBackButton);
    EXPECT_EQ(online->CurrentPage(), 3u);
    EXPECT_EQ(window.Pages().SelectedDot(), 3);
    EXPECT_FALSE(Shown(MainWindow::ManageOrBackButton));
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("网络游戏"));
    ASSERT_EQ(online->VisibleTiles().size(), 5u);
    EXPECT_EQ(online->VisibleTiles().front()->Title(), QStringLiteral("游戏41"));
}

TEST_F(MainWindowTest, ARebuildLandsOnTheOnlineTabPageOne) {
    dir_.WriteGames(45);
    dir_.WriteUsed({{20001, 187, "工具1"}});
    MainWindow& window = Open();
    Click(MainWindow::ManageOrBackButton);
    ASSERT_TRUE(Shown(MainWindow::DeleteAllButton));
    window.Busy().Begin(true);
    QCoreApplication::processEvents();
    ASSERT_NE(window.Busy().Box(), nullptr);

    dir_.WriteGames(50);
    window.RebuildViews();
    QCoreApplication::processEvents();

    EXPECT_EQ(window.SelectedTab(), MainWindow::OnlineTabButton);
    EXPECT_EQ(window.View(ViewKind::OnlineGames)->CurrentPage(), 1u);
    EXPECT_EQ(window.View(ViewKind::OnlineGames)->ItemCount(), 50u);
    EXPECT_EQ(window.Pages().SelectedDot(), 1);
    EXPECT_FALSE(Shown(MainWindow::DeleteAllButton));
    EXPECT_FALSE(Shown(MainWindow::ManageOrBackButton));
    EXPECT_FALSE(window.View(ViewKind::My)->ManageMode());
    EXPECT_TRUE(window.isEnabled());
    EXPECT_FALSE(window.Busy().Busy());
    EXPECT_EQ(window.Busy().Box(), nullptr);
}

TEST_F(MainWindowTest, TheBusyStateBlocksTheWindowAndTheBoxFollowsItsFlag) {
    MainWindow& window = Open();
    window.Busy().Begin(false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isEnabled());
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(window.Busy().Box(), nullptr);

    window.Busy().Begin(true);
    window.Busy().Begin(true);
    QCoreApplication::processEvents();
    ASSERT_NE(window.Busy().Box(), nullptr);
    EXPECT_TRUE(window.Busy().Box()->isVisible());
    EXPECT_EQ(QApplication::topLevelWidgets().count(window.Busy().Box()), 1);

    window.Busy().End();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isEnabled());
    EXPECT_NE(window.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(window.Busy().Box(), nullptr);
}

struct CloseCase {
    const char* name;
    const char* exit;  // nullptr: no key
    bool trayAvailable;
    bool ends;
    bool trayIcon;
    bool minimised;
};

void PrintTo(const CloseCase& c, std::ostream* out) {
    *out << c.name;
}

class CloseButtonTest : public MainWindowTest, public testing::WithParamInterface<CloseCase> {};

TEST_P(CloseButtonTest, HidesToTheTrayOnlyWhenExitIsOne) {
    const CloseCase& c = GetParam();
    if (c.exit != nullptr) {
        dir_.Write("usercfg.dat", std::string("[system]\nexit=") + c.exit + "\n");
    }
    app::TrayHandler::SetAvailability([available = c.trayAvailable] { return available; });
    MainWindow& window = Open();
    QSignalSpy finished(&window, &QDialog::finished);
    Click(MainWindow::CloseButton);
    EXPECT_EQ(finished.count(), c.ends ? 1 : 0);
    EXPECT_EQ(window.Tray().IconShown(), c.trayIcon);
    EXPECT_EQ(window.isMinimized(), c.minimised);
    EXPECT_EQ(window.isVisible(), !c.ends && c.minimised);
    if (c.trayIcon) {
        EXPECT_EQ(window.Tray().Icon()->toolTip(), QStringLiteral("Ravik游戏桌面"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    ExitSetting, CloseButtonTest,
    testing::Values(CloseCase{"One", "1", true, false, true, false},
                    CloseCase{"OneWithoutATray", "1", false, false, false, true},
                    CloseCase{"Zero", "0", true, true, false, false},
                    CloseCase{"Two", "2", true, true, false, false},
                    CloseCase{"Missing", nullptr, true, true, false, false}),
    [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TheTrayBringsTheWindowBackAndNamesItsToggle) {
    dir_.Write("usercfg.dat", "[system]\nexit=1\n");
    app::TrayHandler::SetAvailability([] { return true; });
    MainWindow& window = Open();
    app::TrayHandler& tray = window.Tray();
    tray.UpdateMenuTexts();
    EXPECT_EQ(tray.ToggleAction()->text(), QStringLiteral("隐藏窗口"));

    Click(MainWindow::CloseButton);
    ASSERT_FALSE(window.isVisible());
    tray.UpdateMenuTexts();
    EXPECT_EQ(tray.ToggleAction()->text(), QStringLiteral("显示窗口"));
    emit tray.Icon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(tray.IconShown());

    emit tray.Icon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window.isVisible());
    tray.ToggleAction()->trigger();
    EXPECT_FALSE(window.isVisible());

    QStringList texts;
    for (QAction* action : tray.Menu()->actions()) {
        if (!action->isSeparator()) {
            texts << action->text();
        }
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("显示窗口"), QStringLiteral("关于"),
                                  QStringLiteral("退出")}));
    QSignalSpy finished(&window, &QDialog::finished);
    tray.Menu()->actions().last()->trigger();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(tray.IconShown());
}

TEST_F(MainWindowTest, EnterDoesNothingAndAltF4Ends) {
    dir_.Write("usercfg.dat", "[system]\nexit=1\n");
    MainWindow& window = Open();
    QSignalSpy finished(&window, &QDialog::finished);
    QTest::keyClick(&window, Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Enter);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(window.isVisible());

    window.close();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(window.Tray().IconShown());
}

// Escape follows the close rule of the window: out of a game's entries first, then the
// `exit` setting (to the tray, or minimised where there is no tray, or the end).
TEST_F(MainWindowTest, EscapeBacksOutOfAGameThenFollowsTheExitSetting) {
    const struct {
        const char* exit;
        bool inGame;
        int endedAfterFirst;
        int endedAfterSecond;
    } cases[] = {
        {"0", false, 1, 1},
        {"1", false, 0, 0},
        {"0", true, 0, 1},
        {"1", true, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("exit=") + c.exit + (c.inGame ? ", in a game" : ""));
        dir_.WriteGames({1001});
        dir_.Write("usercfg.dat", std::string("[system]\nexit=") + c.exit + "\n");
        MainWindow& window = Open();
        window.ShowOnlineTab();
        if (c.inGame) {
            window.View(ViewKind::OnlineGames)->EnterGame(1001);
        }
        QSignalSpy finished(&window, &QDialog::finished);
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_EQ(finished.count(), c.endedAfterFirst);
        EXPECT_TRUE(window.View(ViewKind::OnlineGames)->AtGameLevel());
        if (finished.count() == 0) {
            QTest::keyClick(&window, Qt::Key_Escape);
            EXPECT_EQ(finished.count(), c.endedAfterSecond);
        }
        if (c.exit == std::string("1")) {
            // Offscreen there is no tray: the window waits on the taskbar.
            EXPECT_TRUE(window.isMinimized() || window.Tray().IconShown());
        }
    }
}

TEST_F(MainWindowTest, TheSettingsMenuOffersItsFiveEntriesBelowItsButton) {
    dir_.Write("launcher.ini",
               "[web]\nproduct=http://www.ravik.test\nforum=http://bbs.ravik.test\n");
    MainWindow& window = Open();
    Click(MainWindow::SettingsButton);
    QMenu* menu = window.Menu().Menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), window.Button(MainWindow::SettingsButton)->mapToGlobal(QPoint(5, 25)));
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << action->text();
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("官方网站"), QStringLiteral("个人设置"),
                                  QStringLiteral("检查更新"), QStringLiteral("关于Ravik"),
                                  QStringLiteral("退    出")}));

    UrlRecorder urls;
    QSignalSpy settings(&window, &MainWindow::settingsRequested);
    menu->actions().at(0)->trigger();
    menu->actions().at(1)->trigger();
    Click(MainWindow::HelpButton);
    Click(MainWindow::ForumButton);
    const std::vector<std::string> expected = {"http://www.ravik.test/desk/",
                                               "http://www.ravik.test/desk/jc.shtml",
                                               "http://bbs.ravik.test/forum-1122-1.html"};
    EXPECT_EQ(urls.urls, expected);
    EXPECT_EQ(settings.count(), 1);

    QSignalSpy finished(&window, &QDialog::finished);
    menu->actions().at(4)->trigger();
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(MainWindowTest, AboutOpensANewBoxEachTime) {
    dir_.Write("usercfg.dat", "[ravikver]\nversion=3.1.4\n");
    MainWindow& window = Open();
    QDialog* first = window.Menu().ShowAbout();
    QDialog* second = window.Menu().ShowAbout();
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(second->isVisible());
    first->close();
    second->close();
}

struct AutostartCase {
    const char* name;
    const char* stored;  // nullptr: no key
    bool entry;
    const char* written;
};

void PrintTo(const AutostartCase& c, std::ostream* out) {
    *out << c.name;
}

class AutostartTest : public MainWindowTest, public testing::WithParamInterface<AutostartCase> {};

TEST_P(AutostartTest, TheStartUpAppliesTheStoredChoice) {
    const AutostartCase& c = GetParam();
    if (c.stored != nullptr) {
        dir_.Write("usercfg.dat", std::string("[system]\nautostart=") + c.stored + "\n");
    }
    platform::SetAutostart("/somewhere/else/Ravik_desk");
    dir_.Write("Ravik_desk", "portable launcher");
    Open();
    EXPECT_EQ(platform::AutostartProgram(), c.entry ? dir_.dir() + "Ravik_desk" : "");
    EXPECT_EQ(Setting("usercfg.dat", "system", "autostart"), c.written);
}

INSTANTIATE_TEST_SUITE_P(Setting, AutostartTest,
                         testing::Values(AutostartCase{"On", "1", true, "1"},
                                         AutostartCase{"Off", "0", false, "0"},
                                         AutostartCase{"Word", "yes", false, "0"},
                                         AutostartCase{"Missing", nullptr, false, "0"}),
                         [](const testing::TestParamInfo<AutostartCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(MainWindowTest, TheUpgradeReportShowsOnceAfterAnUpdate) {
    dir_.Write("usercfg.dat", "[ravikver]\nold=1\noldversion=1.0\nversion=1.1\n");
    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (auto* report = qobject_cast<ui::UpgradeReport*>(QApplication::activeModalWidget())) {
            shown = report->Message();
            report->close();
        }
    });
    Open();
    EXPECT_EQ(shown, QStringLiteral("程序已从1.0版本 升级到1.1版本。"));
    EXPECT_EQ(Setting("usercfg.dat", "ravikver", "old"), "0");

    window_.reset();
    bool again = false;
    QTimer::singleShot(0, [&again] { again = QApplication::activeModalWidget() != nullptr; });
    Open();
    QCoreApplication::processEvents();
    EXPECT_FALSE(again);
}

TEST_F(MainWindowTest, NoUpgradeReportForTheSameVersion) {
    dir_.Write("usercfg.dat", "[ravikver]\nold=1\noldversion=1.1\nversion=1.1\n");
    bool modal = false;
    QTimer::singleShot(0, [&modal] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            modal = true;
            box->close();
        }
    });
    Open();
    QCoreApplication::processEvents();
    EXPECT_FALSE(modal);
    EXPECT_EQ(Setting("usercfg.dat", "ravikver", "old"), "0");
}

TEST_F(MainWindowTest, DeletingFromTheMyTabRewritesTheUsedList) {
    dir_.WriteGeneralTools(3);
    dir_.WriteUsed({{20001, 187, "工具1"}, {20002, 187, "工具2"}, {20003, 187, "工具3"}});
    MainWindow& window = Open();
    grid::GridView* my = window.View(ViewKind::My);
    Click(MainWindow::ManageOrBackButton);
    grid::ItemTile* second = my->VisibleTiles().at(1);
    QTest::mouseClick(second->DeleteMarkButton(), Qt::LeftButton, {}, QPoint(10, 10));
    QCoreApplication::processEvents();

    EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "SIZE"), "2");
    EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "2"), "20003");
    ASSERT_EQ(my->VisibleTiles().size(), 2u);
    EXPECT_TRUE(my->VisibleTiles().front()->DeleteMark());
    EXPECT_EQ(my->VisibleTiles().back()->Title(), QStringLiteral("工具3"));

    dialogtest::MessageBoxAnswerer yes(QMessageBox::Yes);
    Click(MainWindow::DeleteAllButton);
    ASSERT_TRUE(dialogtest::WaitFor([&] { return my->VisibleTiles().empty(); }));
    EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "SIZE"), "0");
    EXPECT_EQ(Setting("Normalcfg.dat", "NormalTool", "SIZE"), "3");
}

TEST_F(MainWindowTest, UninstallingAGeneralToolShowsItsDefaultIcon) {
    dir_.WriteGeneralTools({{20001, 187, "工具1", 0, 1}, {20002, 187, "工具2", 0, 1}});
    dir_.Write("LocalGameTool/20002/tool.exe", "program");
    MainWindow& window = Open();
    grid::GridView* tools = window.View(ViewKind::GeneralTools);
    Click(MainWindow::ToolsTabButton);
    dialogtest::MessageBoxAnswerer yes(QMessageBox::Yes);
    tools->VisibleTiles().at(1)->RunCommand(grid::TileCommand::Delete);
    ASSERT_TRUE(
        dialogtest::WaitFor([&] { return Setting("Normalcfg.dat", "INSTALLED", "2") == "0"; }));

    EXPECT_EQ(Setting("Normalcfg.dat", "INSTALLED", "1"), "1");
    EXPECT_EQ(tools->VisibleTiles().at(1)->IconFile().toStdString(),
              dir_ / "ToolIcon/defaultD.png");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "LocalGameTool/20002/tool.exe"));
}

// What removing something from the window does: which question it asks, and what it removes.
enum class Removal {
    DeleteInToolsTab,  // "删除" on a tile of the general tools
    DeleteInGame,      // "删除" on a tool among a game's entries
    MarkInMyTab,       // the delete mark of a tile in the My tab's manage mode
    DeleteAll,         // "一键删除"
};

struct RemovalCase {
    const char* name;
    Removal action;
    uint32_t item;
    QMessageBox::StandardButton answer;
    const char* question;  // nullptr: nothing is asked
    bool filesRemoved;     // the tool's folder and downloads (or, for DeleteAll, the My list)
};

class RemovalTest : public MainWindowTest, public testing::WithParamInterface<RemovalCase> {};

// Installed: the general tool 20001 and the game tool 30001; not installed: 20002; a web
// page: 20003. The My list holds 20001 and 20003. Each has a folder, an archive and a partial
// download on disk, so that what stays behind shows.
TEST_P(RemovalTest, AsksBeforeFilesGoAndRemovesOnlyOnYes) {
    const RemovalCase& c = GetParam();
    dir_.WriteGames(1);
    dir_.WriteGameTools(1001, {{30001, 187, "游戏助手", 1001, 1}});
    dir_.WriteGeneralTools(
        {{20001, 187, "工具1", 0, 1}, {20002, 187, "工具2"}, {20003, 189, "网页1"}});
    dir_.WriteUsed({{20001, 187, "工具1", 0, 1}, {20003, 189, "网页1"}});
    for (uint32_t id : {20001u, 20002u, 20003u, 30001u}) {
        const std::string tool = std::to_string(id);
        dir_.Write("LocalGameTool/" + tool + "/tool.exe", "program");
        dir_.Write("ToolDownload/" + tool + ".zip", "archive");
        dir_.Write("ToolDownload/" + tool + ".zip.part", "part of a newer archive");
    }
    MainWindow& window = Open();
    dialogtest::MessageBoxAnswerer boxes(c.answer);
    auto tileOf = [](grid::GridView* view, uint32_t id) -> grid::ItemTile* {
        for (grid::ItemTile* tile : view->VisibleTiles()) {
            if (tile->ItemId() == id) {
                return tile;
            }
        }
        return nullptr;
    };
    grid::ItemTile* tile = nullptr;
    switch (c.action) {
        case Removal::DeleteInToolsTab:
            Click(MainWindow::ToolsTabButton);
            tile = tileOf(window.View(ViewKind::GeneralTools), c.item);
            ASSERT_NE(tile, nullptr);
            tile->RunCommand(grid::TileCommand::Delete);
            break;
        case Removal::DeleteInGame:
            Click(MainWindow::OnlineTabButton);
            window.View(ViewKind::OnlineGames)->EnterGame(1001);
            tile = tileOf(window.View(ViewKind::OnlineGames), c.item);
            ASSERT_NE(tile, nullptr);
            tile->RunCommand(grid::TileCommand::Delete);
            break;
        case Removal::MarkInMyTab:
            Click(MainWindow::MyTabButton);
            Click(MainWindow::ManageOrBackButton);
            tile = tileOf(window.View(ViewKind::My), c.item);
            ASSERT_NE(tile, nullptr);
            QTest::mouseClick(tile->DeleteMarkButton(), Qt::LeftButton, {}, QPoint(10, 10));
            break;
        case Removal::DeleteAll:
            Click(MainWindow::MyTabButton);
            Click(MainWindow::ManageOrBackButton);
            Click(MainWindow::DeleteAllButton);
            break;
    }
    if (c.question != nullptr) {
        ASSERT_TRUE(dialogtest::WaitFor([&] { return !boxes.SeenBoxes().empty(); }));
    }
    // The question, when there is one, comes once the command's own event is over; whatever
    // follows the answer is done by the time the queue is empty.
    ASSERT_TRUE(dialogtest::PendingDeletesDone());
    QCoreApplication::processEvents();

    std::vector<QString> asked;
    for (const auto& box : boxes.SeenBoxes()) {
        asked.push_back(box.text);
        EXPECT_EQ(box.buttons, QMessageBox::Yes | QMessageBox::No);
    }
    const std::vector<QString> expected = c.question != nullptr
                                              ? std::vector<QString>{QString::fromUtf8(c.question)}
                                              : std::vector<QString>{};
    EXPECT_EQ(asked, expected);

    const std::string tool = std::to_string(c.item);
    if (c.action == Removal::MarkInMyTab) {
        EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "SIZE"), "1");
    }
    if (c.action == Removal::DeleteAll) {
        EXPECT_EQ(Setting("Usedcfg.dat", "TOOL", "SIZE"), c.filesRemoved ? "0" : "2");
        // The tools themselves stay installed.
        EXPECT_TRUE(std::filesystem::exists(dir_ / "LocalGameTool/20001/tool.exe"));
        return;
    }
    for (const std::string& file :
         {"LocalGameTool/" + tool + "/tool.exe", "ToolDownload/" + tool + ".zip",
          "ToolDownload/" + tool + ".zip.part"}) {
        EXPECT_EQ(std::filesystem::exists(dir_ / file), !c.filesRemoved) << file;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemovalTest,
    testing::Values(RemovalCase{"UninstallYes", Removal::DeleteInToolsTab, 20001, QMessageBox::Yes,
                                "确定要删除“工具1”吗？删除后需要重新下载。", true},
                    RemovalCase{"UninstallNo", Removal::DeleteInToolsTab, 20001, QMessageBox::No,
                                "确定要删除“工具1”吗？删除后需要重新下载。", false},
                    RemovalCase{"UninstallGameToolYes", Removal::DeleteInGame, 30001,
                                QMessageBox::Yes, "确定要删除“游戏助手”吗？删除后需要重新下载。",
                                true},
                    RemovalCase{"UninstallGameToolNo", Removal::DeleteInGame, 30001,
                                QMessageBox::No, "确定要删除“游戏助手”吗？删除后需要重新下载。",
                                false},
                    // Nothing installed to lose: what a download left goes without a question.
                    RemovalCase{"NotInstalled", Removal::DeleteInToolsTab, 20002, QMessageBox::No,
                                nullptr, true},
                    // Leaving the My list removes no files.
                    RemovalCase{"WebPageOffMyList", Removal::MarkInMyTab, 20003, QMessageBox::No,
                                nullptr, false},
                    RemovalCase{"InstalledToolOffMyList", Removal::MarkInMyTab, 20001,
                                QMessageBox::No, nullptr, false},
                    RemovalCase{"DeleteAllYes", Removal::DeleteAll, 0, QMessageBox::Yes,
                                app::CatalogCommands::kDeleteAllQuestion, true},
                    RemovalCase{"DeleteAllNo", Removal::DeleteAll, 0, QMessageBox::No,
                                app::CatalogCommands::kDeleteAllQuestion, false}),
    [](const testing::TestParamInfo<RemovalCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TheTimerStartsAnotherWorkerWhileTheServerHasNotAnswered) {
    // Port 9 on loopback: nothing listens, so every start report goes unanswered.
    dir_.Write("launcher.ini", "[server]\nhost=127.0.0.1\nport=9\n");
    MainWindow& window = Open();
    app::ServerLink& server = window.Server();
    EXPECT_EQ(server.WorkersStarted(), 0);
    server.Tick();
    server.Tick();
    EXPECT_EQ(server.WorkersStarted(), 2);
    EXPECT_EQ(server.Timer().interval(), 20000);
    EXPECT_FALSE(server.HasReachedServer());
}

}  // namespace
