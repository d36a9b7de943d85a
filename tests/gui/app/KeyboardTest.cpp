#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <utility>

#include "DialogTestSupport.h"
#include "RunFixture.h"
#include "app/PageBar.h"
#include "ui/PngButton.h"

namespace {

using catalog::ViewKind;
using dialogtest::MessageBoxAnswerer;
using dialogtest::WaitFor;

struct Key {
    int key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// The main window, active (so that it takes the focus), over three games, 45 general tools
// (pages of 20, 20 and 5) and two used entries, a web page and a program.
class KeyboardTest : public RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        dir_.WriteGames({1001, 1002, 1003});
        std::vector<ProgramFixture::Tool> tools;
        for (uint32_t n = 0; n < 45; ++n) {
            tools.push_back({20001 + n, 189, "工具" + std::to_string(n + 1), 0, 0,
                             "http://pages.test/" + std::to_string(n + 1)});
        }
        // A program that is installed (its removal asks first) and one that is not.
        tools[1] = {20002, 187, "装好的工具", 0, 1};
        tools[2] = {20003, 187, "没装的工具", 0, 0};
        dir_.WriteGeneralTools(tools);
        dir_.WriteUsed({{20010, 189, "用过的网页", 0, 0, "http://pages.test/used"},
                        {20011, 187, "用过的工具", 0, 0}});
        app::MainWindow& window = Open();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // Sends keys as the user types them: each to the widget with the focus.
    void Press(const std::vector<Key>& keys) {
        for (const Key& key : keys) {
            QWidget* target = QApplication::focusWidget();
            QTest::keyClick(target != nullptr ? target : window_.get(),
                            static_cast<Qt::Key>(key.key), key.modifiers);
        }
        QCoreApplication::processEvents();
    }

    grid::ItemTile* FocusedTile() const {
        return qobject_cast<grid::ItemTile*>(QApplication::focusWidget());
    }
    // The list index of the focused tile in the view on show; -1 when no tile has it.
    int FocusedIndex() const {
        grid::GridView* view = window_->ViewOnShow();
        for (std::size_t n = 0; view != nullptr && n < view->ItemCount(); ++n) {
            if (view->TileAt(n) != nullptr && view->TileAt(n) == QApplication::focusWidget()) {
                return static_cast<int>(n);
            }
        }
        return -1;
    }
};

struct GridCase {
    const char* name;
    int tabKey;  // Qt::Key_1 .. Key_3 with Ctrl
    std::size_t start;
    std::vector<Key> keys;
    int focused;
    unsigned page;
};

TEST_F(KeyboardTest, KeysMoveTheFocusOverTilesAndPages) {
    const GridCase cases[] = {
        {"right", Qt::Key_3, 0, {{Qt::Key_Right}}, 1, 1},
        {"left at the first item stays", Qt::Key_3, 0, {{Qt::Key_Left}}, 0, 1},
        {"right over the page end", Qt::Key_3, 19, {{Qt::Key_Right}}, 20, 2},
        {"left over the page start", Qt::Key_3, 20, {{Qt::Key_Left}}, 19, 1},
        {"down", Qt::Key_3, 1, {{Qt::Key_Down}}, 5, 1},
        {"down from the last row to the next page", Qt::Key_3, 17, {{Qt::Key_Down}}, 21, 2},
        {"up from the first row to the previous page", Qt::Key_3, 21, {{Qt::Key_Up}}, 17, 1},
        {"up in the first row of page 1 stays", Qt::Key_3, 2, {{Qt::Key_Up}}, 2, 1},
        {"down into a shorter last row", Qt::Key_3, 41, {{Qt::Key_Down}}, 44, 3},
        {"down in the last row stays", Qt::Key_3, 44, {{Qt::Key_Down}}, 44, 3},
        {"page down", Qt::Key_3, 3, {{Qt::Key_PageDown}}, 23, 2},
        {"page down onto a short last page", Qt::Key_3, 30, {{Qt::Key_PageDown}}, 44, 3},
        {"page down on the last page stays", Qt::Key_3, 42, {{Qt::Key_PageDown}}, 42, 3},
        {"page up", Qt::Key_3, 23, {{Qt::Key_PageUp}}, 3, 1},
        {"page up on page 1 stays", Qt::Key_3, 3, {{Qt::Key_PageUp}}, 3, 1},
        {"home", Qt::Key_3, 30, {{Qt::Key_Home}}, 0, 1},
        {"end", Qt::Key_3, 0, {{Qt::Key_End}}, 44, 3},
        {"keypad arrows", Qt::Key_3, 0, {{Qt::Key_Right, Qt::KeypadModifier}}, 1, 1},
        {"games", Qt::Key_2, 0, {{Qt::Key_Right}, {Qt::Key_Right}, {Qt::Key_Left}}, 1, 1},
        {"two used entries", Qt::Key_1, 0, {{Qt::Key_Down}, {Qt::Key_End}}, 1, 1},
    };
    for (const GridCase& c : cases) {
        SCOPED_TRACE(c.name);
        Press({{c.tabKey, Qt::ControlModifier}});
        window_->ViewOnShow()->FocusItem(c.start);
        Press(c.keys);
        EXPECT_EQ(FocusedIndex(), c.focused);
        EXPECT_EQ(window_->ViewOnShow()->CurrentPage(), c.page);
        EXPECT_EQ(window_->Pages().SelectedDot(), static_cast<int>(c.page));
        ASSERT_NE(FocusedTile(), nullptr);
        // Only the focused tile of the view shows the focus frame.
        for (grid::ItemTile* tile : window_->ViewOnShow()->VisibleTiles()) {
            EXPECT_EQ(tile->CurrentFrame() == 2, tile == FocusedTile())
                << tile->Title().toStdString();
        }
    }
}

TEST_F(KeyboardTest, CtrlDigitsChooseTheTabsAndTakeTheFocusToTheirGrid) {
    const std::pair<int, app::MainWindow::Control> cases[] = {
        {Qt::Key_3, app::MainWindow::ToolsTabButton},
        {Qt::Key_1, app::MainWindow::MyTabButton},
        {Qt::Key_2, app::MainWindow::OnlineTabButton},
    };
    for (const auto& [key, tab] : cases) {
        SCOPED_TRACE(tab);
        Press({{key, Qt::ControlModifier}});
        EXPECT_EQ(window_->SelectedTab(), tab);
        EXPECT_TRUE(window_->Button(tab)->IsSelected());
        EXPECT_EQ(FocusedIndex(), 0);
    }
}

TEST_F(KeyboardTest, EnterRunsTheFocusedToolAsADoubleClickDoes) {
    Press({{Qt::Key_3, Qt::ControlModifier}});
    window_->ViewOnShow()->FocusItem(24);
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        events_.clear();
        Press({{key}});
        EXPECT_EQ(events_, (std::vector<std::string>{"report 20025", "url http://pages.test/25"}));
    }
}

TEST_F(KeyboardTest, EnterOpensAGameAndTheBackKeysLeaveIt) {
    for (const Key back : {Key{Qt::Key_Backspace}, Key{Qt::Key_Left, Qt::AltModifier}}) {
        SCOPED_TRACE(back.key);
        Press({{Qt::Key_2, Qt::ControlModifier}});
        window_->ViewOnShow()->FocusItem(1);
        Press({{Qt::Key_Return}});
        grid::GridView* online = window_->View(ViewKind::OnlineGames);
        EXPECT_FALSE(online->AtGameLevel());
        EXPECT_EQ(online->EnteredGameId(), 1002u);
        EXPECT_EQ(FocusedIndex(), 0);
        EXPECT_EQ(window_->Button(app::MainWindow::ManageOrBackButton)->accessibleName(),
                  QStringLiteral("返回"));

        Press({back});
        EXPECT_TRUE(online->AtGameLevel());
        // The keyboard comes back to the game it entered.
        EXPECT_EQ(FocusedIndex(), 1);
        EXPECT_TRUE(window_->Button(app::MainWindow::ManageOrBackButton)->isHidden());
    }
}

TEST_F(KeyboardTest, BackKeysOutsideAGameChangeNothing) {
    Press({{Qt::Key_3, Qt::ControlModifier}});
    window_->ViewOnShow()->FocusItem(5);
    Press({{Qt::Key_Backspace}, {Qt::Key_Left, Qt::AltModifier}});
    EXPECT_EQ(window_->SelectedTab(), app::MainWindow::ToolsTabButton);
    EXPECT_EQ(FocusedIndex(), 5);
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(KeyboardTest, MenuKeysOpenTheFocusedTilesMenu) {
    for (const Key key : {Key{Qt::Key_Menu}, Key{Qt::Key_F10, Qt::ShiftModifier}}) {
        SCOPED_TRACE(key.key);
        Press({{Qt::Key_3, Qt::ControlModifier}});
        window_->ViewOnShow()->FocusItem(1);
        grid::ItemTile* tile = FocusedTile();
        ASSERT_NE(tile, nullptr);
        Press({key});
        ASSERT_NE(tile->OpenMenu(), nullptr);
        EXPECT_TRUE(tile->OpenMenu()->isVisible());
        EXPECT_EQ(tile->OpenMenu()->actions().size(), 5);
        tile->OpenMenu()->close();
        QCoreApplication::processEvents();
    }
    // A game tile has no menu.
    Press({{Qt::Key_2, Qt::ControlModifier}, {Qt::Key_Menu}});
    ASSERT_NE(FocusedTile(), nullptr);
    EXPECT_EQ(FocusedTile()->OpenMenu(), nullptr);
}

struct DeleteCase {
    const char* name;
    int tabKey;
    std::size_t index;
    uint32_t id;
    QMessageBox::StandardButton answer;
    const char* after;      // "installed", "not installed" or "gone"
    std::size_t questions;  // confirmation boxes seen
};

TEST_F(KeyboardTest, DeleteActsAsTheMenusDeleteWhereItHasOne) {
    const DeleteCase cases[] = {
        // A web entry's menu has no 删除: the key does nothing.
        {"web entry", Qt::Key_3, 0, 20001, QMessageBox::Yes, "not installed", 0},
        {"used web entry", Qt::Key_1, 0, 20010, QMessageBox::Yes, "not installed", 0},
        // Uninstalling asks first.
        {"installed program, kept", Qt::Key_3, 1, 20002, QMessageBox::No, "installed", 1},
        {"installed program, uninstalled", Qt::Key_3, 1, 20002, QMessageBox::Yes, "not installed",
         1},
        // A used program leaves the My list at once.
        {"used program", Qt::Key_1, 1, 20011, QMessageBox::Yes, "gone", 0},
    };
    for (const DeleteCase& c : cases) {
        SCOPED_TRACE(c.name);
        // The offscreen platform leaves no window active after a message box.
        QApplication::setActiveWindow(window_.get());
        Press({{c.tabKey, Qt::ControlModifier}});
        window_->ViewOnShow()->FocusItem(c.index);
        ASSERT_NE(FocusedTile(), nullptr);
        ASSERT_EQ(FocusedTile()->ItemId(), c.id);
        MessageBoxAnswerer answerer(c.answer);
        Press({{Qt::Key_Delete}});
        if (c.questions > 0) {
            ASSERT_TRUE(WaitFor([&] { return !answerer.SeenBoxes().empty(); }));
        }
        QCoreApplication::processEvents();
        const catalog::ToolList& list =
            c.tabKey == Qt::Key_1 ? window_->Catalog().Used() : window_->Catalog().GeneralTools();
        const auto found = std::find_if(list.begin(), list.end(),
                                        [&](const catalog::ToolRecord& t) { return t.id == c.id; });
        const std::string after = found == list.end()     ? "gone"
                                  : found->installed != 0 ? "installed"
                                                          : "not installed";
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(answerer.SeenBoxes().size(), c.questions);
    }
}

// The controls Tab visits, in order, on the tab on show.
std::vector<QWidget*> ExpectedCycle(app::MainWindow& window, QWidget* tile) {
    using W = app::MainWindow;
    std::vector<QWidget*> cycle{window.Button(W::MyTabButton), window.Button(W::OnlineTabButton),
                                window.Button(W::ToolsTabButton)};
    for (W::Control band : {W::DeleteAllButton, W::ManageOrBackButton}) {
        if (window.Button(band)->isVisible()) {
            cycle.push_back(window.Button(band));
        }
    }
    cycle.push_back(tile);
    cycle.push_back(window.Pages().Button(grid::PageCommand::First));
    cycle.push_back(window.Pages().Button(grid::PageCommand::Previous));
    for (int dot = 1; dot <= app::PageBar::kDots; ++dot) {
        cycle.push_back(window.Pages().Dot(dot));
    }
    cycle.push_back(window.Pages().Button(grid::PageCommand::Next));
    cycle.push_back(window.Pages().Button(grid::PageCommand::Last));
    for (W::Control id :
         {W::ForumButton, W::HelpButton, W::SettingsButton, W::MinimiseButton, W::CloseButton}) {
        cycle.push_back(window.Button(id));
    }
    return cycle;
}

TEST_F(KeyboardTest, TabGoesRoundTabsGridPagingBottomAndTitleBar) {
    struct TabCase {
        const char* name;
        int tabKey;
    };
    // The My tab shows 管理 in the list-label band; in manage mode 一键删除 too.
    for (const TabCase& c : {TabCase{"online games", Qt::Key_2}, TabCase{"my", Qt::Key_1}}) {
        SCOPED_TRACE(c.name);
        Press({{c.tabKey, Qt::ControlModifier}});
        grid::ItemTile* tile = FocusedTile();
        ASSERT_NE(tile, nullptr);
        window_->setFocus();
        const std::vector<QWidget*> expected = ExpectedCycle(*window_, tile);
        std::vector<QWidget*> forward;
        for (std::size_t n = 0; n <= expected.size(); ++n) {
            Press({{Qt::Key_Tab}});
            forward.push_back(QApplication::focusWidget());
        }
        std::vector<QWidget*> wanted = expected;
        wanted.push_back(expected.front());  // round again
        EXPECT_EQ(forward, wanted);

        std::vector<QWidget*> backward;
        for (std::size_t n = 0; n < expected.size(); ++n) {
            Press({{Qt::Key_Backtab, Qt::ShiftModifier}});
            backward.push_back(QApplication::focusWidget());
        }
        std::vector<QWidget*> reversed(expected.rbegin(), expected.rend());
        EXPECT_EQ(backward, reversed);
    }
    window_->ManageOrBack();
    ASSERT_TRUE(window_->Button(app::MainWindow::DeleteAllButton)->isVisible());
    window_->setFocus();
    Press({{Qt::Key_Tab}, {Qt::Key_Tab}, {Qt::Key_Tab}, {Qt::Key_Tab}});
    EXPECT_EQ(QApplication::focusWidget(), window_->Button(app::MainWindow::DeleteAllButton));
}

TEST_F(KeyboardTest, EnterAndSpaceClickTheFocusedButton) {
    for (int key : {Qt::Key_Return, Qt::Key_Space}) {
        SCOPED_TRACE(key);
        Press({{Qt::Key_3, Qt::ControlModifier}});
        window_->Pages().Button(grid::PageCommand::Last)->setFocus(Qt::TabFocusReason);
        Press({{key}});
        EXPECT_EQ(window_->ViewOnShow()->CurrentPage(), 3u);
        EXPECT_EQ(window_->Pages().SelectedDot(), 3);
        window_->Button(app::MainWindow::MyTabButton)->setFocus(Qt::TabFocusReason);
        Press({{key}});
        EXPECT_EQ(window_->SelectedTab(), app::MainWindow::MyTabButton);
    }
}

TEST_F(KeyboardTest, EscapeStillBacksOutOfAGameFirst) {
    Press({{Qt::Key_2, Qt::ControlModifier}, {Qt::Key_Return}});
    ASSERT_FALSE(window_->View(ViewKind::OnlineGames)->AtGameLevel());
    Press({{Qt::Key_Escape}});
    EXPECT_TRUE(window_->View(ViewKind::OnlineGames)->AtGameLevel());
    EXPECT_TRUE(window_->isVisible());
}

}  // namespace
