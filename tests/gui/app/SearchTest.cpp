#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <algorithm>

#include "DialogTestSupport.h"
#include "RunFixture.h"
#include "app/PageBar.h"
#include "app/SearchBar.h"
#include "ui/PngButton.h"

namespace {

using app::MainWindow;
using catalog::ViewKind;

constexpr int kGeneralTools = 45;  // three pages
constexpr int kGames = 25;         // two pages

// The main window with searchable titles: three named games (the others "游戏<n>") with tools
// of their own, and three pages of general tools, the first three of them named.
class SearchTest : public RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        std::vector<uint32_t> games;
        for (int n = 0; n < kGames; ++n) {
            games.push_back(1001 + static_cast<uint32_t>(n));
        }
        dir_.WriteGames(games, {"剑影江湖", "神域传说", "QQ飞车"});
        Append("gamecfg.dat", "[GAMEDIR]\n1002=" + GameProgram(1002) + "\n");
        dir_.WriteGameTools(1001, {{30001, 187, "剑影辅助", 1001, 1},
                                   {30002, 189, "攻略", 1001, 0, "http://pages.test/jy"}});
        dir_.WriteGameTools(1002, {{30003, 189, "攻略", 1002, 0, "http://pages.test/sy"}});
        std::vector<ProgramFixture::Tool> tools{
            {20001, 187, "WindTool 助手"}, {20002, 187, "绿色浏览器"}, {20003, 187, "截图工具"}};
        for (int n = 4; n <= kGeneralTools; ++n) {
            tools.push_back({20000 + static_cast<uint32_t>(n), 187, "工具" + std::to_string(n)});
        }
        dir_.WriteGeneralTools(tools);
    }

    MainWindow& OpenActive() {
        MainWindow& window = Open();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        return window;
    }

    std::string GameProgram(uint32_t gameId) const {
        return dir_ / ("Games/" + std::to_string(gameId) + "/game.sh");
    }

    // Keys as the user types them: to whatever has the focus, else to the window.
    void Type(const QString& text) {
        for (QChar c : text) {
            QWidget* target = QApplication::focusWidget();
            QTest::keyClick(target != nullptr ? target : window_.get(), c.toLatin1());
        }
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target != nullptr ? target : window_.get(), key, modifiers);
    }
    // Text an input method hands over when the user picks Chinese characters.
    void Commit(const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    }

    app::SearchBar& Bar() { return window_->Search(); }
    grid::GridView& Shown() { return *window_->ViewOnShow(); }

    std::vector<QString> Titles() {
        std::vector<QString> titles;
        for (grid::ItemTile* tile : Shown().VisibleTiles()) {
            titles.push_back(tile->Title());
        }
        return titles;
    }
    grid::ItemTile* Found(uint32_t id) {
        for (grid::ItemTile* tile : Shown().VisibleTiles()) {
            if (tile->ItemId() == id) {
                return tile;
            }
        }
        ADD_FAILURE() << "no result " << id;
        return nullptr;
    }
};

struct TypingCase {
    const char* name;
    const char* committed;  // picked in the input method first (after Ctrl+F), if anything
    const char* typed;      // then typed on the keyboard
    std::vector<QString> titles;
};

TEST_F(SearchTest, TypingFiltersTheTabAndEscapeBringsItBackOnItsPage) {
    const std::vector<TypingCase> cases{
        {"Chinese substring", "截图", "", {"截图工具"}},
        {"Latin substring in another case", "", "TOOL", {"WindTool 助手"}},
        {"pinyin initials", "", "jtgj", {"截图工具"}},
        {"full pinyin", "", "jietu", {"截图工具"}},
        {"characters and pinyin", "截", "tu", {"截图工具"}},
        {"ü typed as v", "", "lvse", {"绿色浏览器"}},
        {"no match", "", "zzz", {}},
    };
    MainWindow& window = OpenActive();
    window.ShowToolsTab();
    window.PageCommandClicked(grid::PageCommand::Last);
    const std::vector<QString> lastPage = Titles();
    ASSERT_EQ(Shown().CurrentPage(), 3u);

    for (const TypingCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (*c.committed != '\0') {
            Press(Qt::Key_F, Qt::ControlModifier);
            Commit(QString::fromUtf8(c.committed));
        }
        Type(QString::fromUtf8(c.typed));
        EXPECT_TRUE(Bar().isVisible());
        EXPECT_EQ(Bar().text(), QString::fromUtf8(c.committed) + QString::fromUtf8(c.typed));
        EXPECT_EQ(Bar().geometry(), window.ListLabel()->geometry());
        EXPECT_EQ(Titles(), c.titles);
        EXPECT_EQ(Shown().ItemCount(), c.titles.size());
        EXPECT_EQ(Shown().CurrentPage(), 1u);
        EXPECT_EQ(window.Pages().SelectedDot(), 1);
        if (c.titles.empty()) {
            EXPECT_EQ(Shown().EmptyText(), QStringLiteral("没有找到匹配的项目"));
        }

        Press(Qt::Key_Escape);
        EXPECT_FALSE(Bar().isVisible());
        EXPECT_TRUE(window.isVisible());  // Escape ended the search, not the program
        EXPECT_EQ(Shown().ItemCount(), static_cast<std::size_t>(kGeneralTools));
        EXPECT_EQ(Shown().CurrentPage(), 3u);
        EXPECT_EQ(window.Pages().SelectedDot(), 3);
        EXPECT_EQ(Titles(), lastPage);
        EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("通用工具"));
    }
}

TEST_F(SearchTest, ClearingTheFieldEndsTheSearch) {
    MainWindow& window = OpenActive();
    window.ShowToolsTab();
    window.PageCommandClicked(grid::PageCommand::Next);
    Type("gj");
    EXPECT_EQ(Shown().ItemCount(), static_cast<std::size_t>(kGeneralTools - 2));
    Press(Qt::Key_Backspace);
    EXPECT_TRUE(Bar().isVisible());
    Press(Qt::Key_Backspace);
    EXPECT_FALSE(Bar().isVisible());
    EXPECT_EQ(Shown().ItemCount(), static_cast<std::size_t>(kGeneralTools));
    EXPECT_EQ(Shown().CurrentPage(), 2u);
}

TEST_F(SearchTest, CtrlFOpensAnEmptyFieldAndOnlyPrintableKeysOpenIt) {
    MainWindow& window = OpenActive();
    window.ShowToolsTab();
    Press(Qt::Key_Space);
    Press(Qt::Key_J, Qt::ControlModifier);
    EXPECT_FALSE(Bar().isVisible());

    Press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(Bar().isVisible());
    EXPECT_TRUE(Bar().hasFocus());
    EXPECT_TRUE(Bar().text().isEmpty());
    EXPECT_FALSE(Shown().Searching());  // nothing typed yet: the tab as it was
    EXPECT_EQ(Shown().ItemCount(), static_cast<std::size_t>(kGeneralTools));
    Press(Qt::Key_Escape);
    EXPECT_FALSE(Bar().isVisible());

    Type("j");
    EXPECT_TRUE(Bar().isVisible());
    EXPECT_EQ(Bar().text(), QStringLiteral("j"));
    EXPECT_TRUE(Shown().Searching());
    // Keys that reach the window while the field is open go on with the search.
    window.setFocus();
    QTest::keyClick(&window, 't');
    EXPECT_EQ(Bar().text(), QStringLiteral("jt"));
    EXPECT_EQ(Titles(), std::vector<QString>{QStringLiteral("截图工具")});
    // So does Escape: it ends the search, not the program.
    window.setFocus();
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(Bar().isVisible());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(Shown().ItemCount(), static_cast<std::size_t>(kGeneralTools));
}

TEST_F(SearchTest, OnlineGamesFindGamesThenEveryGamesToolsNamingTheirGame) {
    MainWindow& window = OpenActive();
    window.ShowOnlineTab();
    Type("jy");
    EXPECT_EQ(Titles(),
              (std::vector<QString>{QStringLiteral("剑影江湖"), QStringLiteral("剑影辅助")}));
    EXPECT_TRUE(Found(30001)->toolTip().startsWith(QStringLiteral("剑影江湖 · 剑影辅助\n")));
    Press(Qt::Key_Escape);

    Type("gl");
    ASSERT_EQ(Titles(), (std::vector<QString>{QStringLiteral("攻略"), QStringLiteral("攻略")}));
    EXPECT_TRUE(Found(30002)->toolTip().startsWith(QStringLiteral("剑影江湖 · 攻略")));
    EXPECT_TRUE(Found(30003)->toolTip().startsWith(QStringLiteral("神域传说 · 攻略")));
    Press(Qt::Key_Escape);

    // Every game's 官方网站: two pages of results, tiles only for the page shown.
    Type("gfwz");
    EXPECT_EQ(Shown().ItemCount(), static_cast<std::size_t>(kGames));
    EXPECT_EQ(Shown().PageCount(), 2u);
    EXPECT_EQ(Shown().TileAt(grid::GridView::kPageSize), nullptr);
    window.PageCommandClicked(grid::PageCommand::Next);
    EXPECT_EQ(window.Pages().SelectedDot(), 2);
    ASSERT_NE(Shown().TileAt(grid::GridView::kPageSize), nullptr);
    EXPECT_TRUE(Shown()
                    .TileAt(grid::GridView::kPageSize)
                    ->toolTip()
                    .startsWith(QStringLiteral("游戏21 · 官方网站")));
}

TEST_F(SearchTest, ADoubleClickOnAResultRunsThatItem) {
    struct RunCase {
        const char* typed;
        uint32_t id;
        std::string event;  // what the run does after its report
    };
    const std::vector<RunCase> cases{
        {"jyfz", 30001, "start " + (dir_ / "LocalGameTool/30001/tool.exe")},
        {"gl", 30003, "url http://pages.test/sy"},
        // The start entry of the second game starts that game's program.
        {"qdyx", catalog::FixedEntryId(1002, catalog::kStartEntry), "start " + GameProgram(1002)},
    };
    MainWindow& window = OpenActive();
    window.ShowOnlineTab();
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.typed);
        events_.clear();
        Type(c.typed);
        grid::ItemTile* tile = Found(c.id);
        ASSERT_NE(tile, nullptr);
        QTest::mouseDClick(tile, Qt::LeftButton);
        QCoreApplication::processEvents();
        ASSERT_GE(events_.size(), 2u);
        EXPECT_EQ(events_[0], "report " + std::to_string(c.id));
        EXPECT_EQ(events_[1].substr(0, c.event.size()), c.event);
        const std::vector<std::string> used = UsedIds();
        EXPECT_NE(std::find(used.begin(), used.end(), std::to_string(c.id)), used.end());
        window.activateWindow();
        Bar().Close();
    }
    // The entered game of the view is its own again.
    EXPECT_TRUE(Shown().AtGameLevel());
    EXPECT_EQ(Shown().EnteredGameId(), 0u);
}

TEST_F(SearchTest, UninstallingAGamesToolFoundFromTheGamesChangesThatGamesList) {
    dir_.Write("LocalGameTool/30001/tool.exe", "program");
    MainWindow& window = OpenActive();
    window.ShowOnlineTab();
    Type("jyfz");
    ASSERT_NE(Found(30001), nullptr);
    dialogtest::MessageBoxAnswerer yes(QMessageBox::Yes);
    Found(30001)->RunCommand(grid::TileCommand::Delete);
    ASSERT_TRUE(
        dialogtest::WaitFor([&] { return Setting("GameTool/1001.dat", "INSTALLED", "1") == "0"; }));
    ASSERT_NE(Found(30001), nullptr);
    EXPECT_EQ(Found(30001)->IconFile().toStdString(), dir_ / "ToolIcon/defaultD.png");
    Press(Qt::Key_Escape);
    EXPECT_EQ(Shown().EnteredGameId(), 0u);
}

TEST_F(SearchTest, EnteringAFoundGameEndsTheSearchAndBackReturnsToTheGamesPage) {
    MainWindow& window = OpenActive();
    window.ShowOnlineTab();
    window.PageCommandClicked(grid::PageCommand::Next);
    Type("sy");
    grid::ItemTile* game = Found(1002);
    ASSERT_NE(game, nullptr);
    QTest::mouseDClick(game, Qt::LeftButton);
    EXPECT_FALSE(Bar().isVisible());
    EXPECT_FALSE(Shown().AtGameLevel());
    EXPECT_EQ(Shown().EnteredGameId(), 1002u);
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("神域传说"));

    QTest::mouseClick(window.Button(MainWindow::ManageOrBackButton), Qt::LeftButton, {},
                      QPoint(5, 5));
    EXPECT_TRUE(Shown().AtGameLevel());
    EXPECT_EQ(Shown().CurrentPage(), 2u);
}

TEST_F(SearchTest, InsideAGameTheSearchCoversItsEntriesAndEscapeStaysThere) {
    MainWindow& window = OpenActive();
    window.ShowOnlineTab();
    Shown().EnterGame(1001);
    const std::size_t entries = Shown().ItemCount();
    Type("gl");
    EXPECT_EQ(Titles(), std::vector<QString>{QStringLiteral("攻略")});
    ASSERT_NE(Found(30002), nullptr);
    EXPECT_EQ(Found(30002)->toolTip(), QStringLiteral("攻略的说明"));  // its game is on show
    Press(Qt::Key_Escape);
    EXPECT_FALSE(Shown().AtGameLevel());
    EXPECT_EQ(Shown().EnteredGameId(), 1001u);
    EXPECT_EQ(Shown().ItemCount(), entries);
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("剑影江湖"));
}

TEST_F(SearchTest, AnotherTabEndsTheSearchAndTheTabComesBackAsItWas) {
    MainWindow& window = OpenActive();
    window.ShowToolsTab();
    window.PageCommandClicked(grid::PageCommand::Last);
    Type("lv");
    EXPECT_EQ(Shown().ItemCount(), 1u);
    window.ShowOnlineTab();
    EXPECT_FALSE(Bar().isVisible());
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("网络游戏"));
    window.ShowToolsTab();
    EXPECT_FALSE(Shown().Searching());
    EXPECT_EQ(Shown().ItemCount(), static_cast<std::size_t>(kGeneralTools));
    EXPECT_EQ(Shown().CurrentPage(), 3u);
}

}  // namespace
